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

// Each quit that leaves rows writes a file of its own, named for its batch,
// so that a reader removes only what it read: a batch another process adds
// meanwhile is in another file. The single file of earlier versions is
// still read.
inline constexpr char16_t pendingFileName[] = u"pgwarden-pending.txt";
inline constexpr char16_t pendingFilePrefix[] = u"pgwarden-pending-";
// Larger files are damaged: no quit writes one (the rows are cut into files
// below it), and reading one whole could exhaust a 32-bit program.
inline constexpr std::size_t pendingFileLimit = 16u << 20;

struct PendingBatch {
    std::string id; // 32 hexadecimal digits
    std::vector<JobRow> rows;
};

// A new identity for a batch: random, so that two files never share one.
std::string newBatchId();
// "pgwarden-pending-ID.txt"; and whether a name is that of a pending file
// (of a batch, or the single file of earlier versions).
std::u16string pendingBatchFileName(const std::string& id);
bool isPendingFileName(const std::u16string& name);

// The rows as batches whose files each stay within pendingFileLimit; a
// batch holds at least one row.
std::vector<PendingBatch> pendingBatchesOf(const std::vector<JobRow>& rows);

// The file's whole text: UTF-8, a heading line, then per batch a line
// "batch ID COUNT", one line per row (date, user, machine, printer, pages,
// then for a job with details its colour, sides, paper, sheets, bytes,
// document and cost, separated by tabs, with \t, \n, \r, \\ and \uXXXX standing for what a
// name may hold), and "end ID CRC" (the CRC-32 of the batch's row lines).
std::string formatPendingFile(const std::vector<PendingBatch>& batches);
// False, with the reason in words, when the text is not a whole file as
// formatPendingFile writes it, is larger than pendingFileLimit, or holds one
// batch identity twice (only the first would be written): nothing of such a
// file may be applied.
bool parsePendingFile(std::string_view text, std::vector<PendingBatch>& batches, std::string& why);

// Writes each batch whose identity the database does not hold yet, in one
// transaction with its identity; waits as the thread's BusyLimit allows.
// Returns the number of rows written.
std::size_t applyPendingBatches(const std::u16string& folder, const std::vector<PendingBatch>& batches);
