#include "delivery/xml_stream_check.h"

#include <algorithm>

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/valid.h>
#include <libxml/xmlerror.h>

namespace dlvr {
namespace {

std::string Trimmed(const char* message) {
  std::string s = message ? message : "";
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

// Validity messages as they come, the first `Most` kept.
struct TCollector {
  std::vector<TXmlStreamCheck::TMessage> Kept;
  std::size_t Most = 0;
  std::size_t More = 0;
};

void OnValidityError(void* data, xmlErrorPtr e) {
  auto* c = static_cast<TCollector*>(data);
  if (!e || e->level < XML_ERR_ERROR) return;
  if (c->Kept.size() >= c->Most) {
    ++c->More;
    return;
  }
  c->Kept.push_back({e->line, Trimmed(e->message)});
}

// True when the DTD declares an attribute of type ID, IDREF or IDREFS.
bool DeclaresIdentities(xmlDtdPtr dtd) {
  for (xmlNodePtr n = dtd ? dtd->children : nullptr; n; n = n->next)
    if (n->type == XML_ATTRIBUTE_DECL) {
      const auto type = reinterpret_cast<xmlAttributePtr>(n)->atype;
      if (type == XML_ATTRIBUTE_ID || type == XML_ATTRIBUTE_IDREF || type == XML_ATTRIBUTE_IDREFS) return true;
    }
  return false;
}

// The state of one check, reached from the SAX callbacks of its thread.
struct TState {
  const TXmlDtdChooser* DtdFor = nullptr;
  xmlDtdPtr Dtd = nullptr;
  xmlValidCtxtPtr Valid = nullptr;
  bool DtdUnreadable = false;
  // Records are validated (when there is a DTD) and dropped as they end.
  bool Streamed = true;
  int Depth = 0;
  xmlNodePtr Root = nullptr;
  TCollector Records;
};
thread_local TState* tState = nullptr;

// Runs `validate` with the DTD standing as the document's only subset, as
// a validation of the whole tree has it, its messages going to `into`.
template <class F>
void WithDtd(xmlDocPtr doc, TState& s, TCollector& into, F validate) {
  xmlDtdPtr oldExt = doc->extSubset, oldInt = doc->intSubset;
  doc->extSubset = s.Dtd;
  doc->intSubset = nullptr;
  xmlSetStructuredErrorFunc(&into, OnValidityError);
  validate();
  xmlSetStructuredErrorFunc(nullptr, nullptr);
  doc->extSubset = oldExt;
  doc->intSubset = oldInt;
}

// What a validation of the whole tree checks of one element, without its
// children.
void ValidateElementAlone(xmlValidCtxtPtr valid, xmlDocPtr doc, xmlNodePtr elem) {
  xmlValidateOneElement(valid, doc, elem);
  for (xmlAttrPtr attr = elem->properties; attr; attr = attr->next) {
    xmlChar* value = xmlNodeListGetString(doc, attr->children, 0);
    xmlValidateOneAttribute(valid, doc, elem, attr, value);
    if (value) xmlFree(value);
  }
  for (xmlNsPtr ns = elem->nsDef; ns; ns = ns->next)
    xmlValidateOneNamespace(valid, doc, elem, elem->ns ? elem->ns->prefix : nullptr, ns, ns->href);
}

void OnStartElement(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri,
                    int namespaceCount, const xmlChar** namespaces, int attributeCount, int defaulted,
                    const xmlChar** attributes) {
  xmlSAX2StartElementNs(ctx, localname, prefix, uri, namespaceCount, namespaces, attributeCount, defaulted,
                        attributes);
  TState* s = tState;
  auto* parser = static_cast<xmlParserCtxtPtr>(ctx);
  if (!s || s->Depth++ != 0 || !parser->myDoc) return;
  xmlNodePtr root = xmlDocGetRootElement(parser->myDoc);
  if (!root) return;
  s->Root = root;
  std::string version;
  if (xmlChar* v = xmlGetProp(root, BAD_CAST "DTD_version")) {
    version = reinterpret_cast<const char*>(v);
    xmlFree(v);
  }
  const std::optional<std::string> text = (*s->DtdFor)(reinterpret_cast<const char*>(root->name), version);
  if (!text) return;
  xmlParserInputBufferPtr in =
      xmlParserInputBufferCreateMem(text->data(), static_cast<int>(text->size()), XML_CHAR_ENCODING_UTF8);
  if (!in) return;
  s->Dtd = xmlIOParseDTD(nullptr, in, XML_CHAR_ENCODING_UTF8);  // takes `in`
  if (!s->Dtd) {
    s->DtdUnreadable = true;
    return;
  }
  s->Valid = xmlNewValidCtxt();
  if (!s->Valid) return;
  s->Valid->error = nullptr;
  s->Valid->warning = nullptr;
  // Identities span records, and a DOCTYPE's own declarations change how
  // the records read: such a document is validated whole.
  xmlDtdPtr own = parser->myDoc->intSubset;
  const bool ownDeclarations = own && (own->children || own->elements || own->attributes || own->entities || own->pentities);
  s->Streamed = !DeclaresIdentities(s->Dtd) && !ownDeclarations;
}

void OnEndElement(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri) {
  auto* parser = static_cast<xmlParserCtxtPtr>(ctx);
  xmlNodePtr ended = parser->node;
  xmlSAX2EndElementNs(ctx, localname, prefix, uri);
  TState* s = tState;
  if (!s) return;
  --s->Depth;
  if (s->Depth != 1 || !s->Streamed || !ended || ended->parent != s->Root || ended->type != XML_ELEMENT_NODE ||
      parser->node != s->Root)
    return;
  if (!s->Valid) {  // nothing to validate: the record just goes
    xmlUnlinkNode(ended);
    xmlFreeNode(ended);
    return;
  }
  xmlDocPtr doc = parser->myDoc;
  WithDtd(doc, *s, s->Records, [&] { xmlValidateElement(s->Valid, doc, ended); });
  // In its place, an empty element of its name: what the root's own
  // validation looks at.
  xmlNodePtr stand = xmlNewDocNode(doc, ended->ns, ended->name, nullptr);
  if (!stand) return;
  stand->line = ended->line;
  xmlReplaceNode(ended, stand);
  xmlFreeNode(ended);
}

// Fills libxml2's buffer whole but at the end of the text: the parser does
// not take a short read well everywhere.
int ReadText(void* context, char* buffer, int len) {
  const auto* text = static_cast<const TXmlTextSource*>(context);
  std::size_t done = 0;
  while (done < static_cast<std::size_t>(std::max(len, 0))) {
    const std::size_t n = (*text)(buffer + done, static_cast<std::size_t>(len) - done);
    if (n == 0) break;
    done += n;
  }
  return static_cast<int>(done);
}

int CloseText(void*) { return 0; }

}  // namespace

TXmlStreamCheck CheckXmlStream(const TXmlTextSource& text, const TXmlDtdChooser& dtdFor, std::size_t most) {
  TXmlStreamCheck out;
  xmlParserCtxtPtr parser = xmlNewParserCtxt();
  if (!parser) return out;
  parser->sax->startElementNs = OnStartElement;
  parser->sax->endElementNs = OnEndElement;
  TState state;
  state.DtdFor = &dtdFor;
  state.Records.Most = most;
  TState* const outer = tState;
  tState = &state;
  xmlDocPtr doc = xmlCtxtReadIO(parser, ReadText, CloseText, const_cast<TXmlTextSource*>(&text), nullptr, "UTF-8",
                                XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOERROR | XML_PARSE_COMPACT |
                                    XML_PARSE_NOBLANKS);
  tState = outer;
  if (!doc || !parser->wellFormed) {
    const xmlError* e = xmlCtxtGetLastError(parser);
    out.Line = e ? e->line : 0;
    out.Reason = Trimmed(e ? e->message : nullptr);
  } else {
    out.WellFormed = true;
    out.DtdUnreadable = state.DtdUnreadable;
    if (state.Valid) {
      if (state.Streamed) {
        // The root first, then the records as they were found.
        TCollector root;
        root.Most = most;
        if (xmlNodePtr r = xmlDocGetRootElement(doc))
          WithDtd(doc, state, root, [&] { ValidateElementAlone(state.Valid, doc, r); });
        out.Messages = std::move(root.Kept);
        out.More = root.More;
        for (auto& m : state.Records.Kept) {
          if (out.Messages.size() < most)
            out.Messages.push_back(std::move(m));
          else
            ++out.More;
        }
        out.More += state.Records.More;
      } else {
        TCollector all;
        all.Most = most;
        xmlSetStructuredErrorFunc(&all, OnValidityError);
        xmlValidateDtd(state.Valid, doc, state.Dtd);
        xmlSetStructuredErrorFunc(nullptr, nullptr);
        out.Messages = std::move(all.Kept);
        out.More = all.More;
      }
    }
  }
  if (doc) xmlFreeDoc(doc);
  xmlFreeParserCtxt(parser);
  if (state.Valid) xmlFreeValidCtxt(state.Valid);
  if (state.Dtd) xmlFreeDtd(state.Dtd);
  return out;
}

}  // namespace dlvr
