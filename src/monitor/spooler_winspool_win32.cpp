// The real print spooler.
#include "monitor/spooler_win32.h"

#include <winspool.h>

BOOL spoolEnumPrinters(DWORD flags, DWORD level, BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned)
{
    return EnumPrintersW(flags, nullptr, level, buffer, size, needed, returned);
}

BOOL spoolOpenPrinter(const wchar_t* name, HANDLE* printer)
{
    // OpenPrinterW takes a writable name but does not write to it.
    return OpenPrinterW(const_cast<wchar_t*>(name), printer, nullptr);
}

BOOL spoolGetPrinter(HANDLE printer, DWORD level, BYTE* buffer, DWORD size, DWORD* needed)
{
    return GetPrinterW(printer, level, buffer, size, needed);
}

BOOL spoolEnumJobs(HANDLE printer, DWORD firstJob, DWORD count, DWORD level, BYTE* buffer, DWORD size,
    DWORD* needed, DWORD* returned)
{
    return EnumJobsW(printer, firstJob, count, level, buffer, size, needed, returned);
}

BOOL spoolClosePrinter(HANDLE printer)
{
    return ClosePrinter(printer);
}

HANDLE spoolFindFirstChange(HANDLE printer, DWORD filter, PRINTER_NOTIFY_OPTIONS* options)
{
    return FindFirstPrinterChangeNotification(printer, filter, 0, options);
}

BOOL spoolFindNextChange(
    HANDLE change, DWORD* what, PRINTER_NOTIFY_OPTIONS* options, PRINTER_NOTIFY_INFO** info)
{
    return FindNextPrinterChangeNotification(change, what, options, reinterpret_cast<void**>(info));
}

BOOL spoolFindCloseChange(HANDLE change)
{
    return FindClosePrinterChangeNotification(change);
}

BOOL spoolFreeNotifyInfo(PRINTER_NOTIFY_INFO* info)
{
    return FreePrinterNotifyInfo(info);
}
