// Conversion between the station's UTF-8 and the legacy code page 949 (Unified Hangul Code), by
// the system's converter. A character the code page lacks, or bytes it does not hold, fail the
// conversion: nothing is replaced by a default character or a look-alike.
#include "toolkit/toolkit.h"
#include "toolkit/windows_names.h"

namespace {

constexpr UINT kLegacyCodePage = 949;

bool To_wide(UINT codePage, const std::string& bytes, std::wstring* wide) {
    const int size = static_cast<int>(bytes.size());
    const int length =
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (length <= 0) {
        return false;
    }
    wide->assign(static_cast<std::size_t>(length), L'\0');
    return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, wide->data(),
                               length) == length;
}

bool From_wide(UINT codePage, const std::wstring& wide, std::string* bytes) {
    const int size = static_cast<int>(wide.size());
    // The used-default flag is only allowed, and only needed, for a code page other than UTF-8.
    const DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* used = codePage == CP_UTF8 ? nullptr : &usedDefault;
    const int length =
        WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, used);
    if (length <= 0 || usedDefault) {
        return false;
    }
    bytes->assign(static_cast<std::size_t>(length), '\0');
    return WideCharToMultiByte(codePage, flags, wide.data(), size, bytes->data(), length, nullptr,
                               used) == length &&
           !usedDefault;
}

// `in` from one code page to the other; `in` empty converts to empty.
bool Convert(const char* in, UINT from, UINT to, std::string* out) {
    out->clear();
    const std::string bytes(in);
    if (bytes.empty()) {
        return true;
    }
    std::wstring wide;
    std::string converted;
    if (!To_wide(from, bytes, &wide) || !From_wide(to, wide, &converted)) {
        return false;
    }
    // Only text that converts back to the same bytes was read whole and mapped one to one.
    std::wstring again;
    std::string back;
    if (!To_wide(to, converted, &again) || !From_wide(from, again, &back) || back != bytes) {
        return false;
    }
    *out = std::move(converted);
    return true;
}

}  // namespace

bool ToLegacyText(const char* utf8, std::string* out) {
    return Convert(utf8, CP_UTF8, kLegacyCodePage, out);
}

bool FromLegacyText(const char* legacy, std::string* out) {
    return Convert(legacy, kLegacyCodePage, CP_UTF8, out);
}
