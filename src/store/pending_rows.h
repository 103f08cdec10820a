// Jobs that could not be written before the program ended, because another
// program held pgwarden.db for too long: kept in "pgwarden-pending.txt"
// beside the database and written at the next start, once. The file holds
// batches, each with an identity of its own; a batch's identity is recorded
// in the database in the same transaction as its rows (tbPendientes), so a
// batch is never written twice, even when the program ends between writing
// it and removing the file. Portable: the file's text and its application.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/job_store.h"

inline constexpr char16_t pendingFileName[] = u"pgwarden-pending.txt";

struct PendingBatch {
    std::string id; // 32 hexadecimal digits
    std::vector<JobRow> rows;
};

// A new identity for a batch: random, so that two files never share one.
std::string newBatchId();

// The file's whole text: UTF-8, a heading line, then per batch a line
// "batch ID COUNT", one line per row (date, user, machine, printer, pages,
// then for a job with details its colour, sides, paper, sheets, bytes,
// document and cost, separated by tabs, with \t, \n, \r, \\ and \uXXXX standing for what a
// name may hold), and "end ID CRC" (the CRC-32 of the batch's row lines).
std::string formatPendingFile(const std::vector<PendingBatch>& batches);
// False, with the reason in words, when the text is not a whole file as
// formatPendingFile writes it: nothing of such a file may be applied.
bool parsePendingFile(std::string_view text, std::vector<PendingBatch>& batches, std::string& why);

// Writes each batch whose identity the database does not hold yet, in one
// transaction with its identity; waits as the thread's BusyLimit allows.
// Returns the number of rows written.
std::size_t applyPendingBatches(const std::u16string& folder, const std::vector<PendingBatch>& batches);
