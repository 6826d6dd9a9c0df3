#pragma once

// A wide-character string of the host's core platform library, with its conversion to UTF-8.

#include <kescoreplatform/Export.h>

#include <string>

/// @brief A wide-character string of the host's platform library.
///
/// toStdString() gives its text in UTF-8.
class KESCOREPLATFORM_API KString {
public:
    /// `length` -1 takes the text up to its terminating zero; a null `text` gives the empty string.
    KString(const wchar_t* text, int length);
    std::string toStdString() const;

private:
    std::wstring text;
};
