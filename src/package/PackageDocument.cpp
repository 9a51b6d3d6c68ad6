#include "package/PackageDocument.h"

#include "package/Msxml.h"
#include "package/PackageWriter.h"
#include "package/XmlScreening.h"
#include "package/XmlSyntax.h"
#include "win/AtomicFile.h"
#include "win/Text.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kw {

namespace {

// A package is small; anything beyond this is not one of ours and is refused before parsing.
constexpr size_t kMaxPackageBytes = 256u << 20;

// Where the numbers of the projects are, from the root.
constexpr wchar_t kProjectIdPath[] = L"Projects/Project/ProjectID";

void SetString(Variant& v, std::wstring_view text) {
    VARIANT* raw = v.Out();
    raw->vt = VT_BSTR;
    raw->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

HRESULT SetProperty(IXMLDOMDocument2* document, const wchar_t* name, VARIANT value) {
    Bstr property(name);
    return document->setProperty(property.Get(), value);
}

// A document for parsing untrusted text: no validation, no external files, no document type
// declaration, no nesting beyond kMaxElementDepth. A parser that refuses to prohibit declarations
// is not given the text at all. Not every parser knows the depth limit (Wine's does not); our own
// count before parsing holds it either way.
HRESULT CreateDocument(ComPtr<IXMLDOMDocument2>& document) {
    document.Reset();
    HRESULT hr = CoCreateInstance(kClsidDomDocument, nullptr, CLSCTX_INPROC_SERVER, kIidXmlDomDocument2,
                                  reinterpret_cast<void**>(document.GetAddressOf()));
    if (FAILED(hr)) return hr;
    if (!document) return E_FAIL;
    document->put_async(VARIANT_FALSE);
    document->put_validateOnParse(VARIANT_FALSE);
    document->put_resolveExternals(VARIANT_FALSE);
    VARIANT prohibit;
    VariantInit(&prohibit);
    prohibit.vt = VT_BOOL;
    prohibit.boolVal = VARIANT_TRUE;
    VARIANT depth;
    VariantInit(&depth);
    depth.vt = VT_I4;
    depth.lVal = kMaxElementDepth;
    if (FAILED(hr = SetProperty(document.Get(), L"ProhibitDTD", prohibit))) {
        document.Reset();
        return hr;
    }
    SetProperty(document.Get(), L"MaxElementDepth", depth);
    return S_OK;
}

HRESULT UseXPath(IXMLDOMDocument2* document) {
    Bstr name(L"SelectionLanguage");
    Variant value;
    SetString(value, L"XPath");
    return document->setProperty(name.Get(), value.Get());
}


bool NodeNameIs(IXMLDOMNode* node, const wchar_t* name, bool& known) {
    Bstr nodeName;
    known = SUCCEEDED(node->get_nodeName(nodeName.Out())) && nodeName.Get() != nullptr;
    return known && std::wcscmp(nodeName.Get(), name) == 0;
}

// The five-line report of a failed AddProject, for whoever watches standard output.
std::string DescribeAddProjectFailure(HRESULT hr) {
    std::string meaning = ToUtf8(DescribeWin32Error(static_cast<DWORD>(hr)));
    std::string source;
    std::string description;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.GetAddressOf()) == S_OK && info) {
        Bstr text;
        if (SUCCEEDED(info->GetSource(text.Out()))) source = ToUtf8(text.Str());
        if (SUCCEEDED(info->GetDescription(text.Out()))) description = ToUtf8(text.Str());
    }
    char code[16];
    std::snprintf(code, sizeof code, "%08lx", static_cast<unsigned long>(hr));
    return "Error:\nCode = " + std::string(code) + "\nCode meaning = " + meaning + "\nSource = " + source +
           "\nError Description = " + description + "\n";
}

// The text an XPath comparison sees for an element: all text below it, in document order. Walked
// without recursion, so no nesting can exhaust the stack.
bool StringValue(IXMLDOMNode* element, std::wstring& value) {
    value.clear();
    std::vector<ComPtr<IXMLDOMNode>> resume;  // where to go on after each element entered
    ComPtr<IXMLDOMNode> node;
    if (FAILED(element->get_firstChild(node.GetAddressOf()))) return false;
    while (node || !resume.empty()) {
        if (!node) {
            node = std::move(resume.back());
            resume.pop_back();
            continue;
        }
        DOMNodeType type = NODE_INVALID;
        ComPtr<IXMLDOMNode> next;
        if (FAILED(node->get_nodeType(&type)) || FAILED(node->get_nextSibling(next.GetAddressOf()))) return false;
        if (type == NODE_TEXT || type == NODE_CDATA_SECTION) {
            Variant text;
            if (FAILED(node->get_nodeValue(text.Out()))) return false;
            if (text.Get().vt == VT_BSTR && text.Get().bstrVal) {
                value.append(text.Get().bstrVal, SysStringLen(text.Get().bstrVal));
            }
        } else if (type == NODE_ELEMENT || type == NODE_ENTITY_REFERENCE) {
            ComPtr<IXMLDOMNode> child;
            if (FAILED(node->get_firstChild(child.GetAddressOf()))) return false;
            if (child) {
                resume.push_back(std::move(next));
                node = std::move(child);
                continue;
            }
        }
        node = std::move(next);
    }
    return true;
}

// Element text: the value of the first child, which must carry a string. No child reads as "".
// False when the text can't be read.
bool ReadNodeText(IXMLDOMNode* element, std::wstring& text) {
    text.clear();
    if (!element) return false;
    ComPtr<IXMLDOMNode> child;
    if (FAILED(element->get_firstChild(child.GetAddressOf()))) return false;
    if (!child) return true;
    Variant value;
    if (FAILED(child->get_nodeValue(value.Out()))) return true;
    if (value.Get().vt != VT_BSTR) return false;
    BSTR b = value.Get().bstrVal;
    if (b) text.assign(b, SysStringLen(b));
    return true;
}

// Replaces the first child's value, or adds a text child for a non-empty value.
HRESULT WriteNodeText(IXMLDOMNode* element, const std::wstring& value) {
    if (!element) return E_POINTER;
    ComPtr<IXMLDOMNode> child;
    if (SUCCEEDED(element->get_firstChild(child.GetAddressOf())) && child) {
        Variant v;
        SetString(v, value);
        return child->put_nodeValue(v.Get());
    }
    if (value.empty()) return S_OK;
    ComPtr<IXMLDOMDocument> owner;
    HRESULT hr = element->get_ownerDocument(owner.GetAddressOf());
    if (FAILED(hr) || !owner) return FAILED(hr) ? hr : E_FAIL;
    Bstr text(value);
    ComPtr<IXMLDOMText> textNode;
    hr = owner->createTextNode(text.Get(), textNode.GetAddressOf());
    if (FAILED(hr) || !textNode) return FAILED(hr) ? hr : E_FAIL;
    ComPtr<IXMLDOMNode> appended;
    return element->appendChild(textNode.Get(), appended.GetAddressOf());
}

}  // namespace

struct ProjectHandle::Node {
    ComPtr<IXMLDOMNode> project;
};

struct PackageDocument::Impl {
    void Release();
    int OpenPackage(const std::wstring& path);
    int FailOpen(OpenProblem problem, unsigned long error = 0);
    // A load that failed: the parser's position and words, where it gives them.
    void NoteParseError(IXMLDOMDocument2* document, const std::string& bytes);
    // Lookups go through an index of the projects by ProjectID text, rebuilt by every operation
    // that adds, removes or renumbers projects; reading never changes it.
    void RebuildIndex();
    ComPtr<IXMLDOMNode> FindProject(int projectId) const;
    ComPtr<IXMLDOMNode> SelectChild(IXMLDOMNode* node, const wchar_t* name);
    int SummaryOf(IXMLDOMNode* project, int& projectId, std::wstring& name, CompilerKind& kind);
    HRESULT AppendValueElement(IXMLDOMNode* parent, const wchar_t* name, const std::wstring& value);
    HRESULT AppendValueElement(IXMLDOMNode* parent, const wchar_t* name, const std::wstring& value,
                               ComPtr<IXMLDOMNode>& created);
    int CommitPendingChanges();
    // The project's TempData, made when missing; a new one holds a copy of the project's values,
    // so readers find the project unchanged in it.
    ComPtr<IXMLDOMNode> Staging(IXMLDOMNode* project);
    // The staged Dependencies text, else the stored one, else ""; false when it can't be read.
    bool DependencyTextOf(IXMLDOMNode* project, std::wstring& text);
    // Drops projectId from the Dependencies element below parent, if it names it.
    HRESULT ForgetDependency(IXMLDOMNode* parent, int projectId);
    std::wstring LastProjectIdText();

    int GetPackageInfo(std::wstring& name, std::wstring& major, std::wstring& minor, std::wstring& build,
                       std::wstring& revision);
    int GetProjectSettings(int projectId, ProjectRecord& record);
    int GetProjectResourceFile(int projectId, CompilerKind& compilerKind, std::wstring& resourceFile);
    int GetProjectDependencyText(int projectId, std::wstring& text);
    int GetDependencies(std::vector<ProjectDependencies>& projects);
    int CreatePackage(const std::wstring& packageName);
    int SetPackageInfo(const std::wstring& name, const std::wstring& major, const std::wstring& minor,
                       const std::wstring& build, const std::wstring& revision);
    int AddProject(const std::wstring& projectFilePath);
    int RemoveProject(int projectId);
    int SetProjectSettings(int projectId, const ProjectRecord& record);
    int SetProjectDependencies(int projectId, const std::vector<int>& dependencies);
    void DiscardPendingChanges();
    int SavePackage();

    std::wstring path_;
    // Encoding, declaration and layout of the file, for saving it the same way.
    PackageLayout layout_;
    std::string addProjectDiagnostic_;
    OpenFailure openFailure_;
    ComPtr<IXMLDOMDocument2> document_;
    ComPtr<IXMLDOMNode> root_;
    ComPtr<IXMLDOMNode> projects_;
    ComPtr<IXMLDOMNodeList> listing_;
    // ProjectID text -> the first project (in document order) carrying it.
    std::unordered_map<std::wstring, ComPtr<IXMLDOMNode>> projectsById_;
};

// ---- opening and reading ------------------------------------------------------------------

void PackageDocument::Impl::Release() {
    projectsById_.clear();
    listing_.Reset();
    projects_.Reset();
    root_.Reset();
    document_.Reset();
}

int PackageDocument::Impl::OpenPackage(const std::wstring& path) {
    path_ = path;
    Release();

    // The file is read by us and parsed from memory: one read, long paths work, and a document
    // type declaration is refused before the parser sees the text.
    openFailure_ = OpenFailure{OpenProblem::Failed};
    std::string bytes;
    if (DWORD error = ReadWholeFile(path, bytes, kMaxPackageBytes)) return FailOpen(OpenProblem::Unreadable, error);
    if (bytes.empty()) return FailOpen(OpenProblem::Empty);
    switch (ScreenXml(bytes)) {
        case XmlScreen::DocumentType: return FailOpen(OpenProblem::DocumentType);
        case XmlScreen::TooDeep: return FailOpen(OpenProblem::TooDeep);
        case XmlScreen::Accepted: break;
    }

    ComPtr<IXMLDOMDocument2> document;
    if (FAILED(CreateDocument(document))) return -1;

    ComPtr<IStream> stream;
    {
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        if (!memory) return -1;
        void* target = GlobalLock(memory);
        if (!target) {
            GlobalFree(memory);
            return -1;
        }
        std::memcpy(target, bytes.data(), bytes.size());
        GlobalUnlock(memory);
        if (FAILED(CreateStreamOnHGlobal(memory, TRUE, stream.GetAddressOf()))) {
            GlobalFree(memory);
            return -1;
        }
        ULARGE_INTEGER size;
        size.QuadPart = bytes.size();
        stream->SetSize(size);
    }
    Variant source;
    source.Out()->vt = VT_UNKNOWN;
    source.Get().punkVal = stream.Get();
    stream->AddRef();

    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (FAILED(document->load(source.Get(), &loaded)) || loaded != VARIANT_TRUE) {
        NoteParseError(document.Get(), bytes);
        return -1;
    }

    // Second line of defence, should a declaration have slipped past the byte scan.
    ComPtr<IXMLDOMDocumentType> doctype;
    if (SUCCEEDED(document->get_doctype(doctype.GetAddressOf())) && doctype) return -1;

    if (FAILED(UseXPath(document.Get()))) return -1;

    ComPtr<IXMLDOMElement> rootElement;
    if (FAILED(document->get_documentElement(rootElement.GetAddressOf())) || !rootElement) return -1;
    ComPtr<IXMLDOMNode> root;
    if (FAILED(rootElement.As(&root))) return -1;
    ComPtr<IXMLDOMNode> projects = SelectChild(root.Get(), element::kProjects);
    if (!projects) return FailOpen(OpenProblem::NoProjects);

    openFailure_ = OpenFailure{};
    document_ = std::move(document);
    root_ = std::move(root);
    projects_ = std::move(projects);
    layout_ = DetectPackageLayout(bytes);
    RebuildIndex();
    return 0;
}

int PackageDocument::Impl::FailOpen(OpenProblem problem, unsigned long error) {
    openFailure_.problem = problem;
    openFailure_.error = error;
    return -1;
}

void PackageDocument::Impl::NoteParseError(IXMLDOMDocument2* document, const std::string& bytes) {
    openFailure_.problem = OpenProblem::NotWellFormed;
    ComPtr<IXMLDOMParseError> error;
    long line = 0, column = 0;
    Bstr reason;
    if (SUCCEEDED(document->get_parseError(error.GetAddressOf())) && error &&
        SUCCEEDED(error->get_line(&line)) && SUCCEEDED(error->get_linepos(&column)) && line > 0 &&
        SUCCEEDED(error->get_reason(reason.Out()))) {
        openFailure_.line = line;
        openFailure_.column = column;
        openFailure_.reason = reason.Str();
        return;
    }
    // A parser that gives no position: find the spot ourselves (after a UTF-16 or UTF-32 byte order mark).
    std::string text = CharactersOf(bytes);
    if (text.size() != bytes.size() && !text.empty() && text[0] == 'x') text.erase(0, 1);
    FindXmlSyntaxError(text, openFailure_.line, openFailure_.column);
}

ComPtr<IXMLDOMNode> PackageDocument::Impl::SelectChild(IXMLDOMNode* node, const wchar_t* name) {
    // The first child element of that name outside any namespace, as the XPath step `name`
    // finds it; walked directly, which costs a fraction of evaluating an expression.
    ComPtr<IXMLDOMNode> child;
    if (!node || FAILED(node->get_firstChild(child.GetAddressOf()))) return nullptr;
    const size_t length = std::wcslen(name);
    while (child) {
        DOMNodeType type = NODE_INVALID;
        if (SUCCEEDED(child->get_nodeType(&type)) && type == NODE_ELEMENT) {
            Bstr nodeName;
            if (SUCCEEDED(child->get_nodeName(nodeName.Out())) && SysStringLen(nodeName.Get()) == length &&
                std::wmemcmp(nodeName.Get(), name, length) == 0) {
                Bstr space;
                if (SUCCEEDED(child->get_namespaceURI(space.Out())) && SysStringLen(space.Get()) == 0) return child;
            }
        }
        ComPtr<IXMLDOMNode> next;
        if (FAILED(child->get_nextSibling(next.GetAddressOf()))) return nullptr;
        child = std::move(next);
    }
    return nullptr;
}

void PackageDocument::Impl::RebuildIndex() {
    projectsById_.clear();
    if (!root_) return;
    // Every ProjectID of every project, in document order: the first project with a given text
    // is the one a lookup by that number finds, as it always was.
    ComPtr<IXMLDOMNodeList> ids;
    Bstr expression(kProjectIdPath);
    if (FAILED(root_->selectNodes(expression.Get(), ids.GetAddressOf())) || !ids) return;
    for (;;) {
        ComPtr<IXMLDOMNode> id;
        if (FAILED(ids->nextNode(id.GetAddressOf())) || !id) return;
        std::wstring text;
        ComPtr<IXMLDOMNode> project;
        if (!StringValue(id.Get(), text) || FAILED(id->get_parentNode(project.GetAddressOf())) || !project) continue;
        projectsById_.emplace(std::move(text), std::move(project));
    }
}

ComPtr<IXMLDOMNode> PackageDocument::Impl::FindProject(int projectId) const {
    // The number is compared as text: "007" is not project 7.
    auto found = projectsById_.find(std::to_wstring(projectId));
    return found == projectsById_.end() ? ComPtr<IXMLDOMNode>() : found->second;
}

int PackageDocument::Impl::GetPackageInfo(std::wstring& name, std::wstring& major, std::wstring& minor,
                                    std::wstring& build, std::wstring& revision) {
    name.clear();
    major.clear();
    minor.clear();
    build.clear();
    revision.clear();
    if (!root_) return 1;

    ComPtr<IXMLDOMNodeList> children;
    if (FAILED(root_->get_childNodes(children.GetAddressOf())) || !children) return -1;
    for (;;) {
        ComPtr<IXMLDOMNode> child;
        HRESULT hr = children->nextNode(child.GetAddressOf());
        if (FAILED(hr)) return -1;
        if (!child) break;
        bool known = false;
        if (NodeNameIs(child.Get(), element::kName, known)) {
            if (!ReadNodeText(child.Get(), name)) return -1;
        } else if (known && NodeNameIs(child.Get(), element::kCurrentVersion, known)) {
            std::wstring text;
            if (!ReadNodeText(child.Get(), text)) return -1;
            auto parts = SplitVersionText(text);
            major = parts[0];
            minor = parts[1];
            build = parts[2];
            revision = parts[3];
            return 0;
        }
    }
    return -2;
}

int PackageDocument::StartProjectEnumeration(ProjectHandle& handle) {
    handle.Reset();
    impl_->listing_.Reset();
    if (!impl_->projects_) return -2;
    if (FAILED(impl_->projects_->get_childNodes(impl_->listing_.GetAddressOf())) || !impl_->listing_) {
        impl_->listing_.Reset();
        return -2;
    }
    return NextProject(handle);
}

int PackageDocument::NextProject(ProjectHandle& handle) {
    handle.Reset();
    if (!impl_->listing_) return -2;
    ComPtr<IXMLDOMNode> node;
    if (FAILED(impl_->listing_->nextNode(node.GetAddressOf()))) return -2;
    if (!node) {
        impl_->listing_.Reset();
        return -1;
    }
    handle.node_ = std::make_shared<ProjectHandle::Node>(ProjectHandle::Node{std::move(node)});
    return 0;
}

int PackageDocument::Impl::SummaryOf(IXMLDOMNode* project, int& projectId, std::wstring& name,
                               CompilerKind& kind) {
    if (!project) return -2;
    ComPtr<IXMLDOMNode> staged = SelectChild(project, element::kTempData);
    if (staged) project = staged.Get();

    std::wstring text;
    ComPtr<IXMLDOMNode> node = SelectChild(project, element::kName);
    if (!node || !ReadNodeText(node.Get(), name)) return -2;
    node = SelectChild(project, element::kCompiler);
    if (!node || !ReadNodeText(node.Get(), text)) return -2;
    kind = CompilerKindFromText(text);
    node = SelectChild(project, element::kProjectId);
    if (!node || !ReadNodeText(node.Get(), text)) return -2;
    projectId = ParseProjectId(text);
    return 0;
}

int PackageDocument::GetProjectSummary(const ProjectHandle& handle, int& projectId, std::wstring& name,
                                       CompilerKind& compilerKind) {
    name.clear();
    projectId = 0;
    compilerKind = CompilerUnknown;
    return impl_->SummaryOf(handle.node_ ? handle.node_->project.Get() : nullptr, projectId, name, compilerKind);
}

int PackageDocument::GetProjectIdText(const ProjectHandle& handle, std::wstring& text) {
    text.clear();
    IXMLDOMNode* project = handle.node_ ? handle.node_->project.Get() : nullptr;
    if (!project) return -2;
    ComPtr<IXMLDOMNode> staged = impl_->SelectChild(project, element::kTempData);
    ComPtr<IXMLDOMNode> node = impl_->SelectChild(staged ? staged.Get() : project, element::kProjectId);
    return node && ReadNodeText(node.Get(), text) ? 0 : -2;
}

int PackageDocument::ListProjectRows(std::vector<ProjectRow>& rows, bool& complete) {
    rows.clear();
    complete = true;
    ProjectHandle handle;
    int result = StartProjectEnumeration(handle);
    if (result != 0) return result;
    while (result == 0) {
        ProjectRow row;
        if (GetProjectSummary(handle, row.projectId, row.name, row.kind) != 0 ||
            GetProjectIdText(handle, row.idText) != 0) {
            complete = false;
            break;
        }
        rows.push_back(std::move(row));
        result = NextProject(handle);
    }
    return 0;
}

int PackageDocument::Impl::GetProjectSettings(int projectId, ProjectRecord& record) {
    record = ProjectRecord{};
    ComPtr<IXMLDOMNode> project = FindProject(projectId);
    if (!project) return -1;
    int ignoredId = 0;
    int result = SummaryOf(project.Get(), ignoredId, record.name, record.compilerKind);
    if (result != 0) return result;

    ComPtr<IXMLDOMNode> source = SelectChild(project.Get(), element::kTempData);
    if (!source) source = project;

    const struct Field {
        const wchar_t* name;
        std::wstring* target;
    } fields[] = {
        {element::kSourceLocation, &record.sourceLocation},
        {element::kDebugConfig, &record.debugConfig},
        {element::kReleaseConfig, &record.releaseConfig},
        {element::kResourceFile, &record.resourceFile},
    };
    for (const Field& field : fields) {
        ComPtr<IXMLDOMNode> node = SelectChild(source.Get(), field.name);
        if (!node || !ReadNodeText(node.Get(), *field.target)) return -1;
    }
    std::wstring registrable;
    ComPtr<IXMLDOMNode> node = SelectChild(source.Get(), element::kRegistrable);
    if (!node || !ReadNodeText(node.Get(), registrable)) return -1;
    record.registrable = RegistrableFromText(registrable);
    return 0;
}

int PackageDocument::Impl::GetProjectResourceFile(int projectId, CompilerKind& compilerKind,
                                            std::wstring& resourceFile) {
    compilerKind = CompilerUnknown;
    resourceFile.clear();
    ComPtr<IXMLDOMNode> project = FindProject(projectId);
    if (!project) return -1;
    int ignoredId = 0;
    std::wstring ignoredName;
    int result = SummaryOf(project.Get(), ignoredId, ignoredName, compilerKind);
    if (result != 0) return result;
    ComPtr<IXMLDOMNode> node = SelectChild(project.Get(), element::kResourceFile);
    if (!node || !ReadNodeText(node.Get(), resourceFile)) return -1;
    return 0;
}

bool PackageDocument::Impl::DependencyTextOf(IXMLDOMNode* project, std::wstring& text) {
    text.clear();
    // A staged choice stands in for the stored one; a TempData without one leaves the stored text.
    ComPtr<IXMLDOMNode> node;
    if (ComPtr<IXMLDOMNode> staged = SelectChild(project, element::kTempData))
        node = SelectChild(staged.Get(), element::kDependencies);
    if (!node) node = SelectChild(project, element::kDependencies);
    return !node || ReadNodeText(node.Get(), text);
}

int PackageDocument::Impl::GetProjectDependencyText(int projectId, std::wstring& text) {
    text.clear();
    ComPtr<IXMLDOMNode> project = FindProject(projectId);
    if (!project) return -1;
    return DependencyTextOf(project.Get(), text) ? 0 : -1;
}

int PackageDocument::Impl::GetDependencies(std::vector<ProjectDependencies>& projects) {
    projects.clear();
    if (!projects_) return -2;
    ComPtr<IXMLDOMNodeList> children;
    if (FAILED(projects_->get_childNodes(children.GetAddressOf())) || !children) return -2;
    for (;;) {
        ComPtr<IXMLDOMNode> node;
        if (FAILED(children->nextNode(node.GetAddressOf()))) return -2;
        if (!node) return 0;
        ProjectDependencies project;
        CompilerKind kind = CompilerUnknown;
        // The listing ends at the first project it can't summarise, and so do we.
        if (SummaryOf(node.Get(), project.projectId, project.name, kind) != 0) return 0;
        // Unreadable: refused as a text that is not a list of numbers.
        if (!DependencyTextOf(node.Get(), project.text)) project.text = L"?";
        projects.push_back(std::move(project));
    }
}

// ---- editing and saving -------------------------------------------------------------------

HRESULT PackageDocument::Impl::AppendValueElement(IXMLDOMNode* parent, const wchar_t* name,
                                            const std::wstring& value) {
    ComPtr<IXMLDOMNode> created;
    return AppendValueElement(parent, name, value, created);
}

HRESULT PackageDocument::Impl::AppendValueElement(IXMLDOMNode* parent, const wchar_t* name,
                                            const std::wstring& value, ComPtr<IXMLDOMNode>& created) {
    created.Reset();
    if (!document_ || !parent) return E_POINTER;
    Bstr elementName(name);
    ComPtr<IXMLDOMElement> newElement;
    HRESULT hr = document_->createElement(elementName.Get(), newElement.GetAddressOf());
    if (FAILED(hr) || !newElement) return FAILED(hr) ? hr : E_FAIL;
    Bstr text(value);
    ComPtr<IXMLDOMText> textNode;
    hr = document_->createTextNode(text.Get(), textNode.GetAddressOf());
    if (FAILED(hr) || !textNode) return FAILED(hr) ? hr : E_FAIL;
    ComPtr<IXMLDOMNode> ignored;
    hr = newElement->appendChild(textNode.Get(), ignored.GetAddressOf());
    if (FAILED(hr)) return hr;
    return parent->appendChild(newElement.Get(), created.GetAddressOf());
}

int PackageDocument::Impl::CreatePackage(const std::wstring& packageName) {
    path_.clear();
    Release();

    ComPtr<IXMLDOMDocument2> document;
    if (FAILED(CreateDocument(document))) return -1;
    if (FAILED(UseXPath(document.Get()))) return -1;
    Bstr packageElement(element::kPackage);
    ComPtr<IXMLDOMElement> rootElement;
    if (FAILED(document->createElement(packageElement.Get(), rootElement.GetAddressOf())) || !rootElement) {
        return -1;
    }
    if (FAILED(document->putref_documentElement(rootElement.Get()))) return -1;
    document_ = std::move(document);
    layout_ = NewPackageLayout();
    if (FAILED(rootElement.As(&root_))) return -1;

    if (FAILED(AppendValueElement(root_.Get(), element::kName, packageName.empty() ? kNewPackageName : packageName))) {
        return -1;
    }
    if (FAILED(AppendValueElement(root_.Get(), element::kCurrentVersion, kNewPackageVersion))) return -1;

    Bstr projectsName(element::kProjects);
    ComPtr<IXMLDOMElement> projects;
    if (FAILED(document_->createElement(projectsName.Get(), projects.GetAddressOf())) || !projects) {
        return -1;
    }
    if (FAILED(root_->appendChild(projects.Get(), projects_.GetAddressOf())) || !projects_) return -1;
    RebuildIndex();
    return 0;
}

int PackageDocument::Impl::SetPackageInfo(const std::wstring& name, const std::wstring& major,
                                    const std::wstring& minor, const std::wstring& build,
                                    const std::wstring& revision) {
    if (!root_) return -1;
    ComPtr<IXMLDOMNodeList> children;
    if (FAILED(root_->get_childNodes(children.GetAddressOf())) || !children) return -1;
    for (;;) {
        ComPtr<IXMLDOMNode> child;
        if (FAILED(children->nextNode(child.GetAddressOf()))) return -1;
        if (!child) break;
        bool known = false;
        if (NodeNameIs(child.Get(), element::kName, known)) {
            if (FAILED(WriteNodeText(child.Get(), name))) return -1;
        } else if (known && NodeNameIs(child.Get(), element::kCurrentVersion, known)) {
            if (FAILED(WriteNodeText(child.Get(), JoinVersionText(major, minor, build, revision)))) return -1;
            return 0;
        }
    }
    return -2;
}

std::wstring PackageDocument::Impl::LastProjectIdText() {
    // The largest number in use, so that hand-edited packages never get a number twice.
    int largest = 0;
    bool any = false;
    ComPtr<IXMLDOMNodeList> ids;
    Bstr expression(L"*/ProjectID");
    if (projects_ && SUCCEEDED(projects_->selectNodes(expression.Get(), ids.GetAddressOf())) && ids) {
        for (;;) {
            ComPtr<IXMLDOMNode> id;
            if (FAILED(ids->nextNode(id.GetAddressOf())) || !id) break;
            std::wstring text;
            if (!ReadNodeText(id.Get(), text)) continue;
            int value = ParseProjectId(text);
            if (!any || value > largest) largest = value;
            any = true;
        }
    }
    return std::to_wstring(any && largest > 0 ? largest : 0);
}

int PackageDocument::Impl::AddProject(const std::wstring& projectFilePath) {
    addProjectDiagnostic_.clear();
    ProjectFileParts parts;
    int result = SplitProjectFilePath(projectFilePath, parts);
    if (result != 0) return result;
    if (!document_ || !projects_) return -2;

    int last = ParseProjectId(LastProjectIdText());
    if (last == INT_MAX) return -2;

    Bstr projectName(element::kProject);
    ComPtr<IXMLDOMElement> projectElement;
    HRESULT hr = document_->createElement(projectName.Get(), projectElement.GetAddressOf());
    if (FAILED(hr) || !projectElement) {
        addProjectDiagnostic_ = DescribeAddProjectFailure(FAILED(hr) ? hr : E_FAIL);
        return -2;
    }
    ComPtr<IXMLDOMNode> project;
    projectElement.As(&project);
    const std::pair<const wchar_t*, std::wstring> values[] = {
        {element::kProjectId, std::to_wstring(last + 1)},
        {element::kName, parts.baseName},
        {element::kSourceLocation, parts.folder},
        {element::kCompiler, parts.kind == CompilerVB6 ? L"VB6" : L"VC6"},
        {element::kDebugConfig, kDefaultDebugConfig},
        {element::kReleaseConfig, kDefaultReleaseConfig},
        {element::kResourceFile, DefaultResourceFile(parts)},
        {element::kRegistrable, L"N"},
        {element::kDependencies, L""},
    };
    for (const auto& value : values) {
        hr = AppendValueElement(project.Get(), value.first, value.second);
        if (FAILED(hr)) {
            addProjectDiagnostic_ = DescribeAddProjectFailure(hr);
            return -2;
        }
    }
    ComPtr<IXMLDOMNode> appended;
    hr = projects_->appendChild(project.Get(), appended.GetAddressOf());
    if (FAILED(hr)) {
        addProjectDiagnostic_ = DescribeAddProjectFailure(hr);
        return -2;
    }
    // The new number is past every number read, so it is normally new to the index too; only a
    // ProjectID the numbering could not read may already carry its text.
    std::wstring key = std::to_wstring(last + 1);
    if (projectsById_.count(key) == 0) {
        projectsById_.emplace(std::move(key), project);
    } else {
        RebuildIndex();
    }
    return last;
}

ComPtr<IXMLDOMNode> PackageDocument::Impl::Staging(IXMLDOMNode* project) {
    ComPtr<IXMLDOMNode> staged = SelectChild(project, element::kTempData);
    if (staged) return staged;
    if (FAILED(AppendValueElement(project, element::kTempData, L"", staged)) || !staged) return nullptr;
    ComPtr<IXMLDOMNode> text;
    if (SUCCEEDED(staged->get_firstChild(text.GetAddressOf())) && text) {
        ComPtr<IXMLDOMNode> removed;
        staged->removeChild(text.Get(), removed.GetAddressOf());
    }
    static const wchar_t* const kStaged[] = {
        element::kProjectId,      element::kName,        element::kSourceLocation, element::kCompiler,
        element::kDebugConfig,    element::kReleaseConfig, element::kResourceFile, element::kRegistrable,
    };
    for (const wchar_t* name : kStaged) {
        ComPtr<IXMLDOMNode> own = SelectChild(project, name);
        std::wstring value;
        if (!own || !ReadNodeText(own.Get(), value)) continue;
        if (FAILED(AppendValueElement(staged.Get(), name, value))) {
            ComPtr<IXMLDOMNode> removed;
            project->removeChild(staged.Get(), removed.GetAddressOf());
            return nullptr;
        }
    }
    return staged;
}

int PackageDocument::Impl::SetProjectDependencies(int projectId, const std::vector<int>& dependencies) {
    ComPtr<IXMLDOMNode> project = FindProject(projectId);
    if (!project) return -1;
    std::wstring current;
    std::vector<int> currentIds;
    const std::wstring text = FormatDependencies(dependencies);
    if (GetProjectDependencyText(projectId, current) == 0 && ParseDependencies(current, currentIds) &&
        FormatDependencies(currentIds) == text) {
        return 0;
    }
    ComPtr<IXMLDOMNode> staged = Staging(project.Get());
    if (!staged) return -1;
    ComPtr<IXMLDOMNode> existing = SelectChild(staged.Get(), element::kDependencies);
    HRESULT hr = existing ? WriteNodeText(existing.Get(), text)
                          : AppendValueElement(staged.Get(), element::kDependencies, text);
    return SUCCEEDED(hr) ? 0 : -1;
}

HRESULT PackageDocument::Impl::ForgetDependency(IXMLDOMNode* parent, int projectId) {
    ComPtr<IXMLDOMNode> node = parent ? SelectChild(parent, element::kDependencies) : nullptr;
    std::wstring text;
    std::vector<int> ids;
    // A text that doesn't read is left for the run to refuse, as it is.
    if (!node || !ReadNodeText(node.Get(), text) || !ParseDependencies(text, ids)) return S_OK;
    auto found = std::find(ids.begin(), ids.end(), projectId);
    if (found == ids.end()) return S_OK;
    ids.erase(found);
    return WriteNodeText(node.Get(), FormatDependencies(ids));
}

int PackageDocument::Impl::RemoveProject(int projectId) {
    ComPtr<IXMLDOMNode> project = FindProject(projectId);
    if (!project || !projects_) return -1;
    ComPtr<IXMLDOMNode> removed;
    if (FAILED(projects_->removeChild(project.Get(), removed.GetAddressOf()))) return -1;
    // A later project with the same number may come to light.
    RebuildIndex();
    // Not staged, like the removal: Cancel must not bring back a dependency on a project that is
    // gone. A project that still carries the number keeps its dependants. The removal stands
    // whatever happens here; a text left behind is refused at the next run or save.
    if (FindProject(projectId)) return 0;
    ComPtr<IXMLDOMNodeList> children;
    if (FAILED(projects_->get_childNodes(children.GetAddressOf())) || !children) return 0;
    for (;;) {
        ComPtr<IXMLDOMNode> other;
        if (FAILED(children->nextNode(other.GetAddressOf())) || !other) return 0;
        ForgetDependency(other.Get(), projectId);
        if (ComPtr<IXMLDOMNode> staged = SelectChild(other.Get(), element::kTempData))
            ForgetDependency(staged.Get(), projectId);
    }
}

int PackageDocument::Impl::SetProjectSettings(int projectId, const ProjectRecord& record) {
    ComPtr<IXMLDOMNode> project = FindProject(projectId);
    if (!project) return -1;
    ComPtr<IXMLDOMNode> staged = SelectChild(project.Get(), element::kTempData);
    if (!staged) {
        if (FAILED(AppendValueElement(project.Get(), element::kTempData, L"", staged)) || !staged) return -1;
        // A staging element holds elements only: drop the empty text node it was made with.
        ComPtr<IXMLDOMNode> text;
        if (SUCCEEDED(staged->get_firstChild(text.GetAddressOf())) && text) {
            ComPtr<IXMLDOMNode> removed;
            staged->removeChild(text.Get(), removed.GetAddressOf());
        }
    }
    const std::pair<const wchar_t*, std::wstring> values[] = {
        {element::kProjectId, std::to_wstring(projectId)},
        {element::kName, record.name},
        {element::kSourceLocation, record.sourceLocation},
        {element::kCompiler, CompilerTextForStaging(record.compilerKind)},
        {element::kDebugConfig, record.debugConfig},
        {element::kReleaseConfig, record.releaseConfig},
        {element::kResourceFile, record.resourceFile},
        {element::kRegistrable, record.registrable ? L"Y" : L"N"},
    };
    for (const auto& value : values) {
        ComPtr<IXMLDOMNode> existing = SelectChild(staged.Get(), value.first);
        HRESULT hr = existing ? WriteNodeText(existing.Get(), value.second)
                              : AppendValueElement(staged.Get(), value.first, value.second);
        if (FAILED(hr)) return -1;
    }
    return 0;
}

void PackageDocument::Impl::DiscardPendingChanges() {
    if (!projects_) return;
    ComPtr<IXMLDOMNodeList> children;
    if (FAILED(projects_->get_childNodes(children.GetAddressOf())) || !children) return;
    for (;;) {
        ComPtr<IXMLDOMNode> project;
        if (FAILED(children->nextNode(project.GetAddressOf())) || !project) return;
        ComPtr<IXMLDOMNode> staged = SelectChild(project.Get(), element::kTempData);
        if (!staged) continue;
        ComPtr<IXMLDOMNode> removed;
        if (FAILED(project->removeChild(staged.Get(), removed.GetAddressOf()))) return;
    }
}

int PackageDocument::Impl::CommitPendingChanges() {
    if (!projects_) return -1;
    ComPtr<IXMLDOMNodeList> children;
    if (FAILED(projects_->get_childNodes(children.GetAddressOf())) || !children) return -1;
    static const wchar_t* const kCommitted[] = {
        element::kProjectId,    element::kName,          element::kSourceLocation,
        element::kCompiler,     element::kDebugConfig,   element::kReleaseConfig,
        element::kResourceFile, element::kRegistrable,   element::kDependencies,
    };
    for (;;) {
        ComPtr<IXMLDOMNode> project;
        if (FAILED(children->nextNode(project.GetAddressOf()))) return -1;
        if (!project) break;
        ComPtr<IXMLDOMNode> staged = SelectChild(project.Get(), element::kTempData);
        if (!staged) continue;
        for (const wchar_t* name : kCommitted) {
            ComPtr<IXMLDOMNode> from = SelectChild(staged.Get(), name);
            if (!from) continue;
            std::wstring text;
            if (!ReadNodeText(from.Get(), text)) return -1;
            // A hand-written project may lack the element: it is made, not the value dropped.
            ComPtr<IXMLDOMNode> to = SelectChild(project.Get(), name);
            HRESULT hr = to ? WriteNodeText(to.Get(), text) : AppendValueElement(project.Get(), name, text);
            if (FAILED(hr)) return -1;
        }
        ComPtr<IXMLDOMNode> removed;
        if (FAILED(project->removeChild(staged.Get(), removed.GetAddressOf()))) return -1;
    }
    return 0;
}

int PackageDocument::Impl::SavePackage() {
    if (path_.empty()) return -1;
    // A commit that stopped half way must not reach the disk: the file keeps its old contents.
    // Either way it may have renumbered projects.
    int committed = CommitPendingChanges();
    RebuildIndex();
    if (committed != 0) return -2;
    if (!document_) return -2;

    // Written by us, in the file's own encoding and layout, then replaced in one step: a failed
    // write never leaves a half-written package behind.
    ComPtr<IXMLDOMNode> document;
    std::string bytes;
    if (FAILED(document_.As(&document)) || WritePackageText(document.Get(), layout_, bytes) != 0) return -2;
    if (ReplaceFileContents(path_, bytes) != 0) return -2;
    return 0;
}

// ---- the public face ----------------------------------------------------------------------

PackageDocument::PackageDocument() : impl_(std::make_unique<Impl>()) {}
PackageDocument::~PackageDocument() { impl_->Release(); }

void PackageDocument::ClosePackage() { impl_->Release(); }
bool PackageDocument::IsLoaded() const { return impl_->root_ != nullptr; }
const OpenFailure& PackageDocument::LastOpenFailure() const { return impl_->openFailure_; }
const std::wstring& PackageDocument::Path() const { return impl_->path_; }
void PackageDocument::SetPath(const std::wstring& path) { impl_->path_ = path; }
const std::string& PackageDocument::AddProjectDiagnostic() const { return impl_->addProjectDiagnostic_; }

int PackageDocument::OpenPackage(const std::wstring& path) { return impl_->OpenPackage(path); }
int PackageDocument::GetPackageInfo(std::wstring& name, std::wstring& major, std::wstring& minor,
                                    std::wstring& build, std::wstring& revision) {
    return impl_->GetPackageInfo(name, major, minor, build, revision);
}
int PackageDocument::GetProjectSettings(int projectId, ProjectRecord& record) {
    return impl_->GetProjectSettings(projectId, record);
}
int PackageDocument::GetProjectResourceFile(int projectId, CompilerKind& compilerKind, std::wstring& resourceFile) {
    return impl_->GetProjectResourceFile(projectId, compilerKind, resourceFile);
}
int PackageDocument::GetProjectDependencyText(int projectId, std::wstring& text) {
    return impl_->GetProjectDependencyText(projectId, text);
}
int PackageDocument::GetDependencies(std::vector<ProjectDependencies>& projects) {
    return impl_->GetDependencies(projects);
}
int PackageDocument::CreatePackage(const std::wstring& packageName) { return impl_->CreatePackage(packageName); }
int PackageDocument::SetPackageInfo(const std::wstring& name, const std::wstring& major, const std::wstring& minor,
                                    const std::wstring& build, const std::wstring& revision) {
    return impl_->SetPackageInfo(name, major, minor, build, revision);
}
int PackageDocument::AddProject(const std::wstring& projectFilePath) { return impl_->AddProject(projectFilePath); }
int PackageDocument::RemoveProject(int projectId) { return impl_->RemoveProject(projectId); }
int PackageDocument::SetProjectSettings(int projectId, const ProjectRecord& record) {
    return impl_->SetProjectSettings(projectId, record);
}
int PackageDocument::SetProjectDependencies(int projectId, const std::vector<int>& dependencies) {
    return impl_->SetProjectDependencies(projectId, dependencies);
}
void PackageDocument::DiscardPendingChanges() { impl_->DiscardPendingChanges(); }
int PackageDocument::SavePackage() { return impl_->SavePackage(); }

}  // namespace kw
