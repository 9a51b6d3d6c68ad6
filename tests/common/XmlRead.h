// Reading back a file the program wrote with the system's XML parser (MSXML), for tests that
// check JUnit files and reports element by element.
#pragma once

#include "package/Msxml.h"

#include <string>
#include <vector>

namespace kwtest {

class XmlRead {
public:
    // Parses the file; Error() says why when it is not well-formed. Prefixes "h" (XHTML) and "s"
    // (SVG) are bound for XPath.
    explicit XmlRead(const std::wstring& path) {
        HRESULT hr = CoCreateInstance(kw::kClsidDomDocument, nullptr, CLSCTX_INPROC_SERVER, kw::kIidXmlDomDocument2,
                                      reinterpret_cast<void**>(doc_.GetAddressOf()));
        if (FAILED(hr) || !doc_) {
            error_ = L"no XML parser";
            return;
        }
        doc_->put_async(VARIANT_FALSE);
        doc_->put_validateOnParse(VARIANT_FALSE);
        doc_->put_resolveExternals(VARIANT_FALSE);
        doc_->put_preserveWhiteSpace(VARIANT_TRUE);  // text read back exactly as written
        Property(L"SelectionLanguage", L"XPath");
        Property(L"SelectionNamespaces",
                 L"xmlns:h='http://www.w3.org/1999/xhtml' xmlns:s='http://www.w3.org/2000/svg'");
        kw::Variant source;
        source.Get().vt = VT_BSTR;
        source.Get().bstrVal = SysAllocString(path.c_str());
        VARIANT_BOOL ok = VARIANT_FALSE;
        if (FAILED(doc_->load(source.Get(), &ok)) || ok != VARIANT_TRUE) {
            error_ = L"not well-formed";
            kw::ComPtr<IXMLDOMParseError> parseError;
            if (SUCCEEDED(doc_->get_parseError(parseError.GetAddressOf())) && parseError) {
                kw::Bstr reason;
                long line = 0, column = 0;
                parseError->get_reason(reason.Out());
                parseError->get_line(&line);
                parseError->get_linepos(&column);
                error_ += L": " + reason.Str() + L" at " + std::to_wstring(line) + L":" + std::to_wstring(column);
            }
            doc_.Reset();
        }
    }

    bool Ok() const { return doc_ != nullptr; }
    const std::wstring& Error() const { return error_; }

    // The text of every node the XPath selects, in document order.
    std::vector<std::wstring> Texts(const std::wstring& xpath) const {
        std::vector<std::wstring> texts;
        kw::ComPtr<IXMLDOMNodeList> nodes;
        kw::Bstr query(xpath);
        if (!doc_ || FAILED(doc_->selectNodes(query.Get(), nodes.GetAddressOf())) || !nodes) return texts;
        for (;;) {
            kw::ComPtr<IXMLDOMNode> node;
            if (nodes->nextNode(node.GetAddressOf()) != S_OK || !node) break;
            kw::Bstr text;
            node->get_text(text.Out());
            texts.push_back(text.Str());
        }
        return texts;
    }
    size_t Count(const std::wstring& xpath) const { return Texts(xpath).size(); }
    // The first selected node's text; empty when there is none.
    std::wstring Text(const std::wstring& xpath) const {
        std::vector<std::wstring> texts = Texts(xpath);
        return texts.empty() ? std::wstring() : texts.front();
    }

private:
    void Property(const wchar_t* name, const wchar_t* value) {
        kw::Bstr property(name);
        kw::Variant v;
        v.Get().vt = VT_BSTR;
        v.Get().bstrVal = SysAllocString(value);
        doc_->setProperty(property.Get(), v.Get());
    }

    kw::ComPtr<IXMLDOMDocument2> doc_;
    std::wstring error_;
};

}  // namespace kwtest
