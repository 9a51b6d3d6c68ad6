// The XML parser the package model is built on (the MSXML DOM), for the package's own files only:
// nothing outside src/package sees a DOM type.
#pragma once

#include "win/Com.h"

#include <msxml2.h>

// msxml2.h declares the interfaces but not their identifiers for __uuidof.
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IXMLDOMNode, 0x2933bf80, 0x7b36, 0x11d2, 0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60)
#endif

namespace kw {

// MSXML 3 "DOMDocument" and IXMLDOMDocument2. mingw-w64 has the declarations but no import
// library carrying these GUIDs, so they are defined here once.
extern const CLSID kClsidDomDocument;
extern const IID kIidXmlDomDocument2;

}  // namespace kw
