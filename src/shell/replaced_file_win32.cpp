#include "shell/replaced_file_win32.h"

#include <algorithm>
#include <utility>

#include "common/wide_text_win32.h"

ReplacedFile::ReplacedFile(std::u16string path)
    : path_(std::move(path))
    , partial_(path_ + u".new")
    , file_(CreateFileW(
          wide(partial_.c_str()), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr))
{
}

ReplacedFile::~ReplacedFile()
{
    discard();
}

bool ReplacedFile::write(std::string_view bytes)
{
    while (!failed_ && file_ && !bytes.empty()) {
        const auto piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 20));
        DWORD written = 0;
        if (!WriteFile(file_.get(), bytes.data(), piece, &written, nullptr) || written == 0) failed_ = true;
        bytes.remove_prefix(written);
    }
    return open() && !failed_;
}

bool ReplacedFile::commit()
{
    if (!open() || failed_ || !FlushFileBuffers(file_.get())) {
        discard();
        return false;
    }
    file_.reset();
    if (MoveFileExW(
            wide(partial_.c_str()), wide(path_.c_str()), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileW(wide(partial_.c_str()));
    return false;
}

void ReplacedFile::discard()
{
    if (!file_) return;
    file_.reset();
    DeleteFileW(wide(partial_.c_str()));
}
