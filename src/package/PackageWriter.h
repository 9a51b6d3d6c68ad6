// Writing a package tree back to text: in the encoding its declaration names, one element per
// line, indented the way the file was. The library's own save can't be trusted with either (it
// writes UTF-8 under any declaration and flattens the layout), so the text is made here.
#pragma once

#include "package/Msxml.h"

#include <string>

namespace kw {

// How a package file is written, taken from the file it was opened from.
struct PackageLayout {
    std::string declaration;  // the XML declaration as it stood, "" when the file had none
    std::string encoding;     // the encoding the declaration names, "" when it names none
    bool utf16 = false;       // the text is UTF-16 (byte order mark or "<" as two bytes)
    bool bigEndian = false;
    bool byteOrderMark = false;
    std::string newline = "\r\n";
    std::string indent = "  ";
};

// The layout of a package file's bytes. Pure.
PackageLayout DetectPackageLayout(const std::string& bytes);

// A new package: UTF-8, declared, CR LF, two blanks.
PackageLayout NewPackageLayout();

// The whole document as the file's bytes. Characters the encoding lacks are written as
// character references; where a reference can't stand (a comment, a name) the file becomes
// UTF-8 with a declaration that says so. 0 written; -1 the tree holds a character XML can't
// carry, or the library failed.
int WritePackageText(IXMLDOMNode* document, const PackageLayout& layout, std::string& bytes);

}  // namespace kw
