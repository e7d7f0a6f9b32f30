// Conversion between the station's UTF-8 and the legacy code page 949 (Unified Hangul Code), by
// the system's converter. A character the code page lacks, or bytes it does not hold, fail the
// conversion: nothing is replaced by a default character or a look-alike.
#include "toolkit/toolkit.h"
#include "toolkit/windows_names.h"

namespace {

constexpr UINT LEGACY_CODE_PAGE = 949;

bool ToWide(UINT code_page, const std::string& bytes, std::wstring* wide) {
    const int size = static_cast<int>(bytes.size());
    const int length =
        MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (length <= 0) {
        return false;
    }
    wide->assign(static_cast<std::size_t>(length), L'\0');
    return MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), size, wide->data(),
                               length) == length;
}

bool FromWide(UINT code_page, const std::wstring& wide, std::string* bytes) {
    const int size = static_cast<int>(wide.size());
    // The used-default flag is only allowed, and only needed, for a code page other than UTF-8.
    const DWORD flags = code_page == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL used_default = FALSE;
    BOOL* used = code_page == CP_UTF8 ? nullptr : &used_default;
    const int length =
        WideCharToMultiByte(code_page, flags, wide.data(), size, nullptr, 0, nullptr, used);
    if (length <= 0 || used_default) {
        return false;
    }
    bytes->assign(static_cast<std::size_t>(length), '\0');
    return WideCharToMultiByte(code_page, flags, wide.data(), size, bytes->data(), length, nullptr,
                               used) == length &&
           !used_default;
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
    if (!ToWide(from, bytes, &wide) || !FromWide(to, wide, &converted)) {
        return false;
    }
    // Only text that converts back to the same bytes was read whole and mapped one to one.
    std::wstring again;
    std::string back;
    if (!ToWide(to, converted, &again) || !FromWide(from, again, &back) || back != bytes) {
        return false;
    }
    *out = std::move(converted);
    return true;
}

}  // namespace

bool ToLegacyText(const char* utf8, std::string* out) {
    return Convert(utf8, CP_UTF8, LEGACY_CODE_PAGE, out);
}

bool FromLegacyText(const char* legacy, std::string* out) {
    return Convert(legacy, LEGACY_CODE_PAGE, CP_UTF8, out);
}
