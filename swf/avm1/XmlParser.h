#pragma once
// Flash's XML reader. It is not a conforming XML parser and scripts depend on its
// quirks: it never rejects a document outright, keeps what it built before the first
// error, reports the error as a status number, keeps `<?...?>` and `<!...>` text
// verbatim, and reads names up to white space or `>`. A general-purpose XML library
// would refuse or normalise too much, hence this small reader of our own.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace swf::avm1::xml {

// Status codes as scripts read them from XML.status.
enum Status : int {
    kOk = 0,
    kCdataNotTerminated = -2,
    kDeclarationNotTerminated = -3,
    kDoctypeNotTerminated = -4,
    kCommentNotTerminated = -5,
    kMalformedElement = -6,
    kOutOfMemory = -7,
    kAttributeNotTerminated = -8,
    kMissingEndTag = -9,
    kEndTagWithoutStart = -10,
};

struct Node {
    bool element = true; // else a text node
    std::string text;    // element name or text content (entities decoded)
    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<std::unique_ptr<Node>> children;
};

struct Document {
    Node root; // its children are the top-level nodes
    std::string xmlDecl, docTypeDecl;
    bool hasXmlDecl = false, hasDocType = false;
    int status = kOk;
};

// `maxNodes` bounds what a hostile document can make; past it the status is kOutOfMemory.
Document parse(std::string_view text, bool ignoreWhite, std::size_t maxNodes);

// Replaces &lt; &gt; &amp; &quot; &apos; and numeric references; others stay as written.
std::string decodeEntities(std::string_view s);
// Escapes & < > " ' for output.
std::string escape(std::string_view s);

} // namespace swf::avm1::xml
