// A small XML document with XPath 1.0 selection, over pugixml: just what the
// fault code database needs (load one file, select one node, select a node
// list, a list's length and item, a node's text and name).
//
// Loading:
// - Only the one named file is read, and only if it is a regular file; a
//   path naming a directory, a device or a FIFO does not load. Nothing is
//   fetched from a network and no other file is opened.
// - The DOCTYPE declaration, if any, is skipped, never processed: no DTD is
//   read, no entity is declared, and references to declared entities are not
//   expanded (they stay in the text as written, e.g. "&ext;"). Only the five
//   predefined entities and numeric character references are replaced.
// - The encoding is taken from the byte-order mark or the XML declaration;
//   texts are delivered in UTF-8. Line ends are normalised to "\n".
// - A file that is missing, unreadable, empty or not well-formed fails to
//   load, and the document is then empty.
//
// White space and text nodes:
// - Text nodes that hold nothing but white space are dropped when the file is
//   parsed, so they never count as children and add nothing to texts.
// - The text with which an element begins (before any child element) is held
//   in the element itself rather than in a child node: this saves a node per
//   leaf element. The element's Text() and XPath comparisons include it, but
//   a text() step does not select it; later text after a child element is a
//   text node as usual.
// - Text() of a node is the concatenation, in document order, of all text and
//   CDATA content of the node and its descendants (an attribute's value for
//   an attribute); in that text every run of white space (space, tab, CR, LF)
//   is replaced by one space and white space at both ends is removed. So a
//   paragraph written over several lines of the file reads as one line.
// - XPath string comparisons ('=' in a query) see the raw text, unnormalised.
//
// Errors: a query the XPath engine rejects throws CComError (PELIX_E_FAIL,
// with the engine's description); using a null node throws CComError
// (PELIX_E_POINTER). A query that selects nothing is not an error.
//
// Lifetime: nodes and lists keep the parsed tree they belong to alive, like
// counted references, so they stay valid even after the XmlDocument that
// made them has loaded another file or has been destroyed.
#pragma once

#include <memory>
#include <string>

#include <pugixml.hpp>

#include "pelix/cstring.h"

namespace pelix::platform {

class XmlNodeList;

// A reference to one node of a parsed document; a default-constructed node
// is null.
class XmlNode {
 public:
  XmlNode() = default;
  XmlNode(std::shared_ptr<const pugi::xml_document> tree, const pugi::xpath_node& node);

  bool IsNull() const { return !m_node; }

  // The first node, in document order, that the query selects with this
  // node as its context, or a null node.
  XmlNode SelectSingleNode(const char* query) const;
  // Every node the query selects with this node as its context, in document
  // order.
  XmlNodeList SelectNodes(const char* query) const;

  // The normalised text of the node and its descendants (see above).
  CString Text() const;
  // The node's name: the element's or attribute's name, "#text",
  // "#cdata-section", "#comment", "#document", or a processing
  // instruction's target.
  CString Name() const;

 private:
  void CheckNotNull(const char* operation) const;

  std::shared_ptr<const pugi::xml_document> m_tree;
  pugi::xpath_node m_node;
};

// The nodes a query selected, in document order.
class XmlNodeList {
 public:
  XmlNodeList() = default;
  XmlNodeList(std::shared_ptr<const pugi::xml_document> tree, pugi::xpath_node_set nodes);

  long Length() const { return static_cast<long>(m_nodes.size()); }
  // The node at index, or a null node when the index is outside the list.
  XmlNode Item(long index) const;

 private:
  std::shared_ptr<const pugi::xml_document> m_tree;
  pugi::xpath_node_set m_nodes;
};

class XmlDocument {
 public:
  struct Tree;

  XmlDocument();
  ~XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  // Replaces the document with the one parsed from the file at path; true
  // when it loaded. A null or empty path fails. On failure the document is
  // empty and ErrorText() says why.
  bool Load(const char* path);

  // The document node: the context for absolute queries and for queries on
  // the document element by name.
  XmlNode DocumentNode() const;

  const std::string& ErrorText() const { return m_errorText; }

 private:
  std::shared_ptr<Tree> m_tree;
  std::string m_errorText;
};

}  // namespace pelix::platform
