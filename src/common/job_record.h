// One spooler job as it stood at its last sighting in its queue: an owned
// copy of the fields of the spooler's level-2 job information. Written by the
// monitor thread, read by one recorder thread, released by the monitor thread
// once that thread has ended.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/date_time.h"

// DM_COPIES of the device mode's dmFields.
inline constexpr std::uint32_t deviceModeCopies = 0x100;

struct JobRecord {
    std::uint32_t jobId = 0;
    // Whole texts; an absent optional is a null pointer from the spooler.
    std::optional<std::u16string> printerName;
    std::optional<std::u16string> machineName;
    std::optional<std::u16string> userName;
    std::optional<std::u16string> document;
    std::optional<std::u16string> notifyName;
    std::optional<std::u16string> datatype;
    std::optional<std::u16string> printProcessor;
    std::optional<std::u16string> parameters;
    std::optional<std::u16string> driverName;
    // The two device-mode fields that count copies; hasDevMode is false for a
    // job that came with no device mode at all.
    bool hasDevMode = false;
    std::uint32_t dmFields = 0;
    std::int16_t dmCopies = 0;
    std::optional<std::u16string> statusText; // pStatus
    std::uint32_t status = 0;
    std::uint32_t priority = 0;
    std::uint32_t position = 0;
    std::uint32_t startTime = 0;
    std::uint32_t untilTime = 0;
    std::uint32_t totalPages = 0;
    std::uint32_t size = 0;
    DateTime submitted; // UTC
    std::uint32_t time = 0;
    std::uint32_t pagesPrinted = 0;
};
