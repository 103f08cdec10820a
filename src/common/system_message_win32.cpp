#include "common/system_message_win32.h"

#include "common/wide_text_win32.h"

std::u16string systemMessage(DWORD code)
{
    if (code == 0) return {};
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) return {};
    std::u16string message(utf16(text), length);
    LocalFree(text);
    // The system ends its messages with a line break.
    while (!message.empty() && (message.back() == u'\n' || message.back() == u'\r' || message.back() == u' '))
        message.pop_back();
    return message;
}
