// Text kept as Windows-1252 bytes (names, captions, port aliases, files)
// crosses into Qt only here: bytes 0x80..0x9F from the code page's own table,
// the rest as Latin-1.
#pragma once

#include <QString>

#include <string>

namespace morvelant {

QString FromCp1252(const std::string& bytes);
// Characters outside the code page become '?'.
std::string ToCp1252(const QString& text);

}  // namespace morvelant
