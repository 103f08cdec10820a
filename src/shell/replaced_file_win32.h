// A file written beside the one it replaces: the old file stays whole until
// the new one is, and a write that fails or is stopped leaves nothing of
// itself behind.
#pragma once

#include <string>
#include <string_view>

#include "common/scoped_handle_win32.h"

class ReplacedFile {
public:
    // Creates "NAME.new" beside the file; open() says whether it could.
    explicit ReplacedFile(std::u16string path);
    ~ReplacedFile();
    ReplacedFile(const ReplacedFile&) = delete;
    ReplacedFile& operator=(const ReplacedFile&) = delete;

    bool open() const { return static_cast<bool>(file_); }
    bool write(std::string_view bytes);
    // Puts the written file in the old one's place; false (and nothing left
    // of the new one) when a write or the move failed.
    bool commit();

private:
    void discard();
    std::u16string path_, partial_;
    ScopedHandle file_;
    bool failed_ = false;
};
