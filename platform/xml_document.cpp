#include "platform/xml_document.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

#include "pelix/com_error.h"

namespace pelix::platform {

namespace {

// No DTD processing (parse_doctype is left out, so a DOCTYPE is skipped
// unread), no comments or processing instructions in the tree, white-space
// only text dropped. The leading text of an element is kept in the element
// itself (embedded), which saves a node for every leaf element. Parsed as a
// fragment, so that text and further elements beside the root element end up
// in the tree, where HasOnlyOneRoot sees them.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_embed_pcdata | pugi::parse_fragment;

bool IsXmlSpace(char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; }

// Whether raw file bytes end in markup, as a well-formed document does (only
// white space may follow its last '>'; NUL bytes allow for wide encodings).
// Checked before parsing: as a fragment, the parser drops a last character of
// text, and parsing in place overwrites that byte.
bool EndsInMarkup(const char* bytes, size_t size) {
  while (size > 0 && (IsXmlSpace(bytes[size - 1]) || bytes[size - 1] == '\0')) --size;
  return size > 0 && bytes[size - 1] == '>';
}

// Whether a parsed document has exactly one element at the top and no text:
// the parser accepts several top-level elements, top-level text and no element
// at all. Comments, processing instructions and the prolog leave no node.
bool HasOnlyOneRoot(const pugi::xml_document& document) {
  int elements = 0;
  for (const pugi::xml_node& child : document.children()) {
    if (child.type() != pugi::node_element || ++elements > 1) return false;
  }
  return elements == 1;
}

// Appends text to out with every run of white space collapsed to one space;
// the caller trims the ends.
void AppendCollapsed(const char* text, std::string& out) {
  for (const char* p = text; *p != '\0'; ++p) {
    if (IsXmlSpace(*p)) {
      if (out.empty() || out.back() != ' ') out += ' ';
    } else {
      out += *p;
    }
  }
}

// The text content of an element or document subtree, in document order,
// walked without recursion so that deeply nested files cannot exhaust the
// stack.
void AppendSubtreeText(const pugi::xml_node& root, std::string& out) {
  if (root.type() == pugi::node_element) AppendCollapsed(root.value(), out);  // embedded text comes first
  pugi::xml_node current = root.first_child();
  while (current && current != root) {
    const pugi::xml_node_type type = current.type();
    // An element's value is its embedded leading text.
    if (type == pugi::node_pcdata || type == pugi::node_cdata || type == pugi::node_element) {
      AppendCollapsed(current.value(), out);
    }
    if (type == pugi::node_element && current.first_child()) {
      current = current.first_child();
      continue;
    }
    while (current != root && !current.next_sibling()) current = current.parent();
    if (current != root) current = current.next_sibling();
  }
}

std::string Trimmed(std::string text) {
  size_t begin = 0;
  while (begin < text.size() && text[begin] == ' ') ++begin;
  size_t end = text.size();
  while (end > begin && text[end - 1] == ' ') --end;
  return text.substr(begin, end - begin);
}

// Compiles a query; the engine's rejection becomes the COM error stand-in.
pugi::xpath_query Compile(const char* query) {
  if (query == nullptr) throw CComError(PELIX_E_POINTER, "XPath query is null");
  try {
    return pugi::xpath_query(query);
  } catch (const pugi::xpath_exception& error) {
    throw CComError(PELIX_E_FAIL, std::string("XPath query rejected: ") + error.what());
  } catch (const std::bad_alloc&) {
    throw CComError(PELIX_E_OUTOFMEMORY, "out of memory compiling an XPath query");
  }
}

}  // namespace

// The file's bytes, parsed in place, and the tree over them; the tree points
// into the bytes, so it is declared (and destroyed) after them.
struct XmlDocument::Tree {
  Tree() = default;
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;
  ~Tree() {
    document.reset();
    if (bytes != nullptr) ::munmap(bytes, mappedSize);
  }

  char* bytes = nullptr;
  size_t mappedSize = 0;
  pugi::xml_document document;
};

namespace {

constexpr size_t kHugePage = size_t{2} << 20;

// Reads the whole of a regular file into fresh anonymous memory of the tree.
// Large files get memory advised for huge pages: a 20 MB database then costs
// a handful of page faults instead of thousands.
bool ReadRegularFile(const char* path, XmlDocument::Tree& tree, size_t& size, std::string& error) {
  // O_NONBLOCK keeps a FIFO from blocking the open; it is refused just below.
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    error = std::string("cannot open file: ") + std::strerror(errno);
    return false;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    error = "not a regular file";
    return false;
  }
  const size_t expected = static_cast<size_t>(info.st_size);
  if (expected == 0) {
    ::close(fd);
    error = "file is empty";
    return false;
  }
  const size_t mapped = (expected + kHugePage - 1) / kHugePage * kHugePage;
  void* block = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) {
    ::close(fd);
    error = "out of memory reading file";
    return false;
  }
#ifdef MADV_HUGEPAGE
  if (mapped >= kHugePage) ::madvise(block, mapped, MADV_HUGEPAGE);  // advice only; failure is harmless
#endif
  tree.bytes = static_cast<char*>(block);
  tree.mappedSize = mapped;
  size_t got = 0;
  while (got < expected) {
    const ssize_t n = ::read(fd, tree.bytes + got, expected - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = std::string("cannot read file: ") + std::strerror(errno);
      ::close(fd);
      return false;
    }
    if (n == 0) break;  // the file shrank while being read
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  size = got;
  return true;
}

}  // namespace

// --- XmlNode ---

XmlNode::XmlNode(std::shared_ptr<const pugi::xml_document> tree, const pugi::xpath_node& node)
    : m_tree(std::move(tree)), m_node(node) {}

void XmlNode::CheckNotNull(const char* operation) const {
  if (!m_node) throw CComError(PELIX_E_POINTER, std::string(operation) + " on a null XML node");
}

XmlNode XmlNode::SelectSingleNode(const char* query) const {
  CheckNotNull("SelectSingleNode");
  const pugi::xpath_query compiled = Compile(query);
  try {
    const pugi::xpath_node found = compiled.evaluate_node(m_node);
    if (!found) return XmlNode();
    return XmlNode(m_tree, found);
  } catch (const pugi::xpath_exception& error) {
    throw CComError(PELIX_E_FAIL, std::string("XPath query failed: ") + error.what());
  } catch (const std::bad_alloc&) {
    throw CComError(PELIX_E_OUTOFMEMORY, "out of memory evaluating an XPath query");
  }
}

XmlNodeList XmlNode::SelectNodes(const char* query) const {
  CheckNotNull("SelectNodes");
  const pugi::xpath_query compiled = Compile(query);
  try {
    pugi::xpath_node_set nodes = compiled.evaluate_node_set(m_node);
    nodes.sort();  // a union may come back unsorted
    return XmlNodeList(m_tree, std::move(nodes));
  } catch (const pugi::xpath_exception& error) {
    throw CComError(PELIX_E_FAIL, std::string("XPath query failed: ") + error.what());
  } catch (const std::bad_alloc&) {
    throw CComError(PELIX_E_OUTOFMEMORY, "out of memory evaluating an XPath query");
  }
}

CString XmlNode::Text() const {
  CheckNotNull("Text");
  std::string raw;
  if (m_node.attribute()) {
    AppendCollapsed(m_node.attribute().value(), raw);
  } else {
    const pugi::xml_node node = m_node.node();
    switch (node.type()) {
      case pugi::node_element:
      case pugi::node_document: AppendSubtreeText(node, raw); break;
      default: AppendCollapsed(node.value(), raw); break;
    }
  }
  return CString(Trimmed(std::move(raw)));
}

CString XmlNode::Name() const {
  CheckNotNull("Name");
  if (m_node.attribute()) return CString(m_node.attribute().name());
  const pugi::xml_node node = m_node.node();
  switch (node.type()) {
    case pugi::node_document: return CString("#document");
    case pugi::node_pcdata: return CString("#text");
    case pugi::node_cdata: return CString("#cdata-section");
    case pugi::node_comment: return CString("#comment");
    default: return CString(node.name());
  }
}

// --- XmlNodeList ---

XmlNodeList::XmlNodeList(std::shared_ptr<const pugi::xml_document> tree, pugi::xpath_node_set nodes)
    : m_tree(std::move(tree)), m_nodes(std::move(nodes)) {}

XmlNode XmlNodeList::Item(long index) const {
  if (index < 0 || index >= Length()) return XmlNode();
  return XmlNode(m_tree, m_nodes[static_cast<size_t>(index)]);
}

// --- XmlDocument ---

XmlDocument::XmlDocument() : m_tree(std::make_shared<Tree>()) {}

XmlDocument::~XmlDocument() = default;

bool XmlDocument::Load(const char* path) {
  // Nodes handed out earlier keep the old tree; this document starts afresh.
  m_tree = std::make_shared<Tree>();
  m_errorText.clear();
  if (path == nullptr || *path == '\0') {
    m_errorText = "no path given";
    return false;
  }
  size_t size = 0;
  if (!ReadRegularFile(path, *m_tree, size, m_errorText)) {
    m_tree = std::make_shared<Tree>();
    return false;
  }
  const bool endsInMarkup = EndsInMarkup(m_tree->bytes, size);
  const pugi::xml_parse_result result =
      m_tree->document.load_buffer_inplace(m_tree->bytes, size, kParseOptions, pugi::encoding_auto);
  if (!result) {
    m_errorText = std::string(result.description()) + " at offset " + std::to_string(result.offset);
    m_tree = std::make_shared<Tree>();
    return false;
  }
  if (!endsInMarkup || !HasOnlyOneRoot(m_tree->document)) {
    m_errorText = "not one root element with only markup around it";
    m_tree = std::make_shared<Tree>();
    return false;
  }
  return true;
}

XmlNode XmlDocument::DocumentNode() const {
  // The node shares ownership of the whole tree, bytes included.
  std::shared_ptr<const pugi::xml_document> document(m_tree, &m_tree->document);
  return XmlNode(std::move(document), pugi::xpath_node(m_tree->document));
}

}  // namespace pelix::platform
