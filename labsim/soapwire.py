"""SOAP 1.1 document/literal wire form of the laboratory's services: schema declarations,
a checking reader for requests and a writer for answers and faults.

The reader is deliberately strict: it accepts exactly the form that the services' schemas
describe (element names, qualification, order, occurrence, xsi:type, simple value forms) and
refuses anything else with a ``WireError`` whose text says what is wrong, so that a client
that writes a wrong message is told so instead of being served by a lenient guess.
"""

import math
import re
import time
import xml.parsers.expat
from xml.sax.saxutils import escape as _xml_escape

SOAP_ENV = "http://schemas.xmlsoap.org/soap/envelope/"
SOAP_ENC = "http://schemas.xmlsoap.org/soap/encoding/"
SOAP12_ENV = "http://www.w3.org/2003/05/soap-envelope"
XSI = "http://www.w3.org/2001/XMLSchema-instance"
XSD = "http://www.w3.org/2001/XMLSchema"

STRING = "string"
INT = "int"
LONG = "long"
FLOAT = "float"
BOOLEAN = "boolean"
DATETIME = "dateTime"
SIMPLE_TYPES = (STRING, INT, LONG, FLOAT, BOOLEAN, DATETIME)


def text_from_wire(text):
    """The clients carry their UTF-8 texts one byte per character (a byte 0xC3 travels as
    the character U+00C3). Such a text is read back into the characters it stands for; a
    text that is not of that form is kept as it came."""
    try:
        return text.encode("latin-1").decode("utf-8")
    except UnicodeError:
        return text


def text_to_wire(text):
    """The inverse of text_from_wire: each byte of the text's UTF-8 form as one character."""
    return text.encode("utf-8").decode("latin-1")


class WireError(Exception):
    """A request that does not follow the wire form; becomes a SOAP-ENV:Client fault."""

    def __init__(self, message, code="SOAP-ENV:Client"):
        super().__init__(message)
        self.code = code


class ServiceFault(Exception):
    """A fault that a service operation answers with (wrong credentials, unknown record...)."""

    def __init__(self, message, code="SOAP-ENV:Client"):
        super().__init__(message)
        self.code = code


# ---------------------------------------------------------------------------------------
# Schema declarations


class Field:
    """One child element of a complex type or of an operation wrapper."""

    def __init__(self, name, type_, min_occurs=1, max_occurs=1, nillable=False, ns=None):
        self.name = name
        self.type = type_          # one of SIMPLE_TYPES or a ComplexType
        self.min_occurs = min_occurs
        self.max_occurs = max_occurs  # None: unbounded
        self.nillable = nillable
        self.ns = ns               # namespace of a qualified element, None when unqualified

    @property
    def repeated(self):
        return self.max_occurs is None or self.max_occurs > 1

    def shown(self):
        return "{%s}%s" % (self.ns, self.name) if self.ns else self.name


class ComplexType:
    """A complex type: its own fields follow those of its base. ``always_typed`` marks the
    classes whose elements always carry xsi:type naming their class."""

    def __init__(self, ns, name, fields, base=None, always_typed=False):
        self.ns = ns
        self.name = name
        self.own_fields = list(fields)
        self.base = base
        self.always_typed = always_typed
        self.derived = []
        if base is not None:
            base.derived.append(self)

    @property
    def fields(self):
        return (self.base.fields if self.base else []) + self.own_fields

    def derives_from(self, other):
        t = self
        while t is not None:
            if t is other:
                return True
            t = t.base
        return False

    def __repr__(self):
        return "ComplexType(%s)" % self.name


class Operation:
    def __init__(self, name, request, response, handler, auth=True):
        self.name = name
        self.request = request     # Field of the request wrapper's child, or None
        self.response = response   # Field of the response wrapper's child
        self.handler = handler
        self.auth = auth           # True: an Authentication header with valid credentials is required


class Service:
    """One SOAP service: its script, its namespace and the namespaces it writes, its types
    and its operations."""

    def __init__(self, key, script, ns, prefixes, header_type):
        self.key = key
        self.script = script
        self.ns = ns
        self.prefixes = prefixes      # list of (prefix, uri) written on answers, after the SOAP ones
        self.header_type = header_type  # ComplexType of the Authentication header entry
        self.types = {}
        self.operations = {}

    def add_types(self, *types):
        for t in types:
            self.types[(t.ns, t.name)] = t

    def add(self, operation):
        self.operations[operation.name] = operation

    def prefix_of(self, uri):
        for prefix, u in self.prefixes:
            if u == uri:
                return prefix
        raise KeyError(uri)


# ---------------------------------------------------------------------------------------
# Parsing


class Node:
    __slots__ = ("uri", "local", "qname", "attrs", "nsmap", "children", "text", "line")

    def __init__(self, uri, local, qname, attrs, nsmap, line):
        self.uri = uri or None
        self.local = local
        self.qname = qname or local
        self.attrs = attrs
        self.nsmap = nsmap
        self.children = []
        self.text = []
        self.line = line

    def attr(self, uri, local):
        return self.attrs.get((uri, local))

    def content(self):
        return "".join(self.text)

    def resolve_qname(self, value):
        value = value.strip()
        if ":" in value:
            prefix, local = value.split(":", 1)
            if prefix not in self.nsmap:
                raise WireError("xsi:type '%s' on <%s> uses the undeclared prefix '%s'"
                                % (value, self.qname, prefix))
            return self.nsmap[prefix], local
        return self.nsmap.get(None), value


def _split_name(name):
    """An expat name "uri local prefix" (or "local") as (uri, local, qualified name)."""
    parts = name.split(" ")
    if len(parts) == 1:
        return None, parts[0], parts[0]
    if len(parts) == 2:
        return parts[0], parts[1], parts[1]
    return parts[0], parts[1], "%s:%s" % (parts[2], parts[1])


def parse_xml(data):
    """Parses a document into Nodes that keep, for each element, its namespace, its
    qualified name and the prefixes in scope (for xsi:type values)."""
    parser = xml.parsers.expat.ParserCreate(namespace_separator=" ")
    parser.namespace_prefixes = True
    state = {"root": None, "stack": [], "pending": [],
             "scopes": [{"xml": "http://www.w3.org/XML/1998/namespace"}]}

    def start_ns(prefix, uri):
        state["pending"].append((prefix, uri or None))

    def start(name, attrs):
        scope = dict(state["scopes"][-1])
        for prefix, uri in state["pending"]:
            scope[prefix] = uri
        state["pending"] = []
        state["scopes"].append(scope)
        values = {}
        for key, value in attrs.items():
            uri, local, _ = _split_name(key)
            values[(uri, local)] = value
        uri, local, qname = _split_name(name)
        node = Node(uri, local, qname, values, scope, parser.CurrentLineNumber)
        if state["stack"]:
            state["stack"][-1].children.append(node)
        else:
            state["root"] = node
        state["stack"].append(node)

    def end(name):
        state["stack"].pop()
        state["scopes"].pop()

    def chars(text):
        if state["stack"]:
            state["stack"][-1].text.append(text)

    def no_entities(*args):
        raise WireError("the request declares entities, which SOAP messages must not hold")

    parser.StartNamespaceDeclHandler = start_ns
    parser.StartElementHandler = start
    parser.EndElementHandler = end
    parser.CharacterDataHandler = chars
    parser.EntityDeclHandler = no_entities
    try:
        parser.Parse(data, True)
    except xml.parsers.expat.ExpatError as e:
        raise WireError("the request is not well-formed XML: %s" % e)
    if state["root"] is None:
        raise WireError("the request holds no XML element")
    return state["root"]


# ---------------------------------------------------------------------------------------
# Checking reader


_INT_RE = re.compile(r"^\s*[+-]?\d+\s*$")
_DATETIME_RE = re.compile(
    r"^\s*(-?\d{4,})-(\d{2})-(\d{2})T(\d{2}):(\d{2}):(\d{2})(\.\d+)?(Z|[+-]\d{2}:?\d{2})?\s*$")


def _where(node):
    return "<%s> (line %d)" % (node.qname, node.line)


def _check_attributes(node):
    for (uri, local) in node.attrs:
        if uri == SOAP_ENV and local == "encodingStyle":
            raise WireError("%s carries SOAP-ENV:encodingStyle: the services take literal messages, "
                            "without an encoding style" % _where(node))
        if uri is None and local in ("id", "href"):
            raise WireError("%s carries the multi-reference attribute '%s': literal messages "
                            "write every value in place" % (_where(node), local))


def _no_children(node, what):
    if node.children:
        raise WireError("%s is a %s and must not hold the element <%s>"
                        % (_where(node), what, node.children[0].qname))


def _is_nil(node):
    value = node.attr(XSI, "nil")
    return value is not None and value.strip() in ("true", "1")


def _parse_simple(node, type_):
    _no_children(node, "value of type xsd:%s" % type_)
    xsi_type = node.attr(XSI, "type")
    if xsi_type is not None:
        uri, local = node.resolve_qname(xsi_type)
        if uri != XSD or local != type_:
            raise WireError("%s carries xsi:type '%s' where xsd:%s is expected"
                            % (_where(node), xsi_type, type_))
    text = node.content()
    if type_ == STRING:
        return text_from_wire(text)
    if type_ in (INT, LONG):
        if not _INT_RE.match(text):
            raise WireError("%s holds '%s', which is not an xsd:%s" % (_where(node), text, type_))
        value = int(text)
        bits = 31 if type_ == INT else 63
        if not -(1 << bits) <= value < (1 << bits):
            raise WireError("%s holds %s, out of the range of xsd:%s" % (_where(node), text, type_))
        return value
    if type_ == FLOAT:
        t = text.strip()
        if t in ("INF", "+INF"):
            return math.inf
        if t == "-INF":
            return -math.inf
        if t == "NaN":
            return math.nan
        try:
            return float(t)
        except ValueError:
            raise WireError("%s holds '%s', which is not an xsd:float" % (_where(node), text))
    if type_ == BOOLEAN:
        t = text.strip()
        if t in ("true", "1"):
            return True
        if t in ("false", "0"):
            return False
        raise WireError("%s holds '%s', which is not an xsd:boolean (true, false, 1 or 0)"
                        % (_where(node), text))
    if type_ == DATETIME:
        m = _DATETIME_RE.match(text)
        if not m:
            raise WireError("%s holds '%s', which is not an xsd:dateTime (YYYY-MM-DDThh:mm:ssZ)"
                            % (_where(node), text))
        y, mo, d, h, mi, s = (int(m.group(i)) for i in range(1, 7))
        try:
            stamp = _utc_seconds(y, mo, d, h, mi, s)
        except ValueError:
            raise WireError("%s holds '%s', which is not a valid date" % (_where(node), text))
        zone = m.group(8)
        if zone and zone != "Z":
            sign = -1 if zone[0] == "-" else 1
            digits = zone[1:].replace(":", "")
            stamp -= sign * (int(digits[:2]) * 3600 + int(digits[2:]) * 60)
        return stamp
    raise AssertionError(type_)


def _utc_seconds(y, mo, d, h, mi, s):
    import calendar
    import datetime
    datetime.datetime(y, mo, d, h, mi, s)  # validates the fields
    return calendar.timegm((y, mo, d, h, mi, s, 0, 0, 0))


def _shown(type_):
    return "{%s}%s" % (type_.ns, type_.name)


def _expected_name(field):
    return field.name if field.ns is None else "%s (in %s)" % (field.name, field.ns)


def read_complex(node, declared, service):
    """Reads an element of the declared complex type; returns a dict with '__type__' (the
    class read) and one entry per field (a list for repeated fields)."""
    _check_attributes(node)
    actual = declared
    xsi_type = node.attr(XSI, "type")
    if xsi_type is not None:
        uri, local = node.resolve_qname(xsi_type)
        named = service.types.get((uri, local))
        if named is None or not named.derives_from(declared):
            raise WireError("%s carries xsi:type '%s' ({%s}%s), which is not %s or a type "
                            "derived from it" % (_where(node), xsi_type, uri, local, _shown(declared)))
        actual = named
    elif declared.always_typed:
        raise WireError("%s lacks xsi:type: a %s record always names its class (%s)"
                        % (_where(node), declared.name, _shown(declared)))
    if node.content().strip():
        raise WireError("%s holds text outside its child elements" % _where(node))

    fields = actual.fields
    result = {"__type__": actual}
    seen = [0] * len(fields)
    position = 0
    for child in node.children:
        index = None
        for i, f in enumerate(fields):
            if f.name == child.local:
                index = i
                break
        if index is None:
            raise WireError("%s is not an element of %s (its elements are: %s)"
                            % (_where(child), _shown(actual), ", ".join(f.name for f in fields)))
        f = fields[index]
        if child.uri != f.ns:
            if f.ns is None:
                raise WireError("%s must be unqualified (no namespace), but it is in %s"
                                % (_where(child), child.uri))
            raise WireError("%s must be qualified with the namespace %s, but it is in %s"
                            % (_where(child), f.ns, child.uri or "no namespace"))
        if index < position:
            raise WireError("%s comes out of order in %s (expected order: %s)"
                            % (_where(child), _shown(actual), ", ".join(x.name for x in fields)))
        if seen[index] and not f.repeated:
            raise WireError("%s is repeated in %s" % (_where(child), _shown(actual)))
        position = index
        seen[index] += 1
        value = read_field_value(child, f, service)
        if f.repeated:
            result.setdefault(f.name, []).append(value)
        else:
            result[f.name] = value
    for i, f in enumerate(fields):
        if seen[i] < f.min_occurs:
            raise WireError("%s lacks the element <%s>" % (_where(node), _expected_name(f)))
        if f.repeated and f.name not in result:
            result[f.name] = []
    return result


def read_field_value(node, field, service):
    if _is_nil(node):
        if not field.nillable:
            raise WireError("%s is marked nil but is not nillable" % _where(node))
        _no_children(node, "nil element")
        return None
    _check_attributes(node)
    if isinstance(field.type, ComplexType):
        return read_complex(node, field.type, service)
    return _parse_simple(node, field.type)


class Request:
    def __init__(self, service, operation, auth, value):
        self.service = service
        self.operation = operation
        self.auth = auth      # dict with isOperator, username, password, or None
        self.value = value    # the request child's value, or None for an operation without one


def read_request(data, service, soap_action):
    """Checks a whole request envelope posted to ``service``; returns a Request."""
    root = parse_xml(data)
    if root.local == "Envelope" and root.uri == SOAP12_ENV:
        raise WireError("the request is a SOAP 1.2 envelope; the services speak SOAP 1.1",
                        code="SOAP-ENV:VersionMismatch")
    if root.local != "Envelope" or root.uri != SOAP_ENV:
        if root.local == "Envelope":
            raise WireError("the envelope is in the namespace %s instead of %s" % (root.uri, SOAP_ENV),
                            code="SOAP-ENV:VersionMismatch")
        raise WireError("the root element is <%s>, not a SOAP 1.1 Envelope" % root.qname)
    _check_attributes(root)
    if root.content().strip():
        raise WireError("the Envelope holds text outside its elements")
    header = None
    body = None
    for child in root.children:
        if child.uri == SOAP_ENV and child.local == "Header" and header is None and body is None:
            header = child
        elif child.uri == SOAP_ENV and child.local == "Body" and body is None:
            body = child
        else:
            raise WireError("unexpected element %s in the Envelope (expected an optional "
                            "SOAP-ENV:Header, then SOAP-ENV:Body)" % _where(child))
    if body is None:
        raise WireError("the Envelope has no SOAP-ENV:Body")
    _check_attributes(body)
    if len(body.children) != 1:
        raise WireError("the Body holds %d elements; it must hold exactly one operation element"
                        % len(body.children))
    wrapper = body.children[0]
    if wrapper.uri != service.ns:
        raise WireError("the operation element %s is in the namespace %s; the operations of %s "
                        "are in %s" % (_where(wrapper), wrapper.uri or "(none)", service.script,
                                       service.ns))
    operation = service.operations.get(wrapper.local)
    if operation is None:
        raise WireError("%s has no operation '%s'" % (service.script, wrapper.local))
    expected_action = service.ns + operation.name
    if soap_action is None:
        raise WireError("the HTTP request has no SOAPAction header (expected \"%s\")" % expected_action)
    action = soap_action.strip()
    if len(action) >= 2 and action[0] == '"' and action[-1] == '"':
        action = action[1:-1]
    if action != expected_action:
        raise WireError("the SOAPAction is \"%s\" but the body holds %s, whose SOAPAction is \"%s\""
                        % (action, operation.name, expected_action))

    auth = None
    if header is not None:
        auth = _read_header(header, service)

    _check_attributes(wrapper)
    if wrapper.attr(XSI, "type") is not None:
        raise WireError("the operation element %s must not carry xsi:type" % _where(wrapper))
    if wrapper.content().strip():
        raise WireError("the operation element %s holds text" % _where(wrapper))
    value = None
    if operation.request is None:
        if wrapper.children:
            raise WireError("the operation element %s must be empty, but holds <%s>"
                            % (_where(wrapper), wrapper.children[0].qname))
    else:
        f = operation.request
        if len(wrapper.children) != 1:
            raise WireError("the operation element %s must hold exactly one element <%s>, "
                            "but holds %d" % (_where(wrapper), f.name, len(wrapper.children)))
        child = wrapper.children[0]
        if child.local != f.name:
            raise WireError("the operation element %s holds <%s> where <%s> is expected"
                            % (_where(wrapper), child.qname, f.name))
        if child.uri is not None:
            raise WireError("%s must be unqualified (no namespace), but it is in %s"
                            % (_where(child), child.uri))
        if _is_nil(child):
            raise WireError("%s is marked nil: the request carries no value" % _where(child))
        value = read_field_value(child, f, service)
    return Request(service, operation, auth, value)


def _read_header(header, service):
    _check_attributes(header)
    auth = None
    for entry in header.children:
        must = entry.attr(SOAP_ENV, "mustUnderstand")
        is_auth = entry.local == "Authentication" and entry.uri == service.ns
        if not is_auth:
            if must is not None and must.strip() in ("1", "true"):
                raise WireError("the header entry %s is marked mustUnderstand and is not understood"
                                % _where(entry), code="SOAP-ENV:MustUnderstand")
            if entry.local == "Authentication":
                raise WireError("the header entry %s is in the namespace %s; %s expects its "
                                "Authentication entry in %s"
                                % (_where(entry), entry.uri or "(none)", service.script, service.ns))
            raise WireError("unexpected header entry %s" % _where(entry))
        if auth is not None:
            raise WireError("the header holds two Authentication entries")
        if entry.attr(XSI, "type") is not None:
            raise WireError("the header entry %s must not carry xsi:type" % _where(entry))
        auth = read_complex(entry, service.header_type, service)
    return auth


# ---------------------------------------------------------------------------------------
# Writer


def esc(text):
    return _xml_escape(str(text), {'"': "&quot;"})


def format_simple(type_, value):
    if type_ == STRING:
        return esc(text_to_wire("" if value is None else str(value)))
    if type_ in (INT, LONG):
        return str(int(value or 0))
    if type_ == BOOLEAN:
        return "true" if value else "false"
    if type_ == FLOAT:
        v = float(value or 0.0)
        if math.isnan(v):
            return "NaN"
        if math.isinf(v):
            return "INF" if v > 0 else "-INF"
        return format(v, ".9G")
    if type_ == DATETIME:
        return time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(int(value or 0)))
    raise AssertionError(type_)


class Writer:
    def __init__(self, service):
        self.service = service
        self.parts = []

    def qualified(self, ns, name):
        return name if ns is None else "%s:%s" % (self.service.prefix_of(ns), name)

    def element(self, field, value, depth):
        tag = self.qualified(field.ns, field.name)
        pad = "\n" + "  " * depth
        if isinstance(field.type, ComplexType):
            if value is None:
                self.parts.append('%s<%s xsi:nil="true"/>' % (pad, tag))
                return
            actual = value.get("__type__", field.type)
            attrs = ""
            if actual is not field.type or actual.always_typed:
                attrs = ' xsi:type="%s"' % self.qualified(actual.ns, actual.name)
            self.parts.append("%s<%s%s>" % (pad, tag, attrs))
            for f in actual.fields:
                v = value.get(f.name)
                if f.repeated:
                    for item in v or []:
                        self.element(f, item, depth + 1)
                elif isinstance(f.type, ComplexType):
                    self.element(f, v, depth + 1)
                else:
                    self.element(f, _default(f.type) if v is None else v, depth + 1)
            self.parts.append("%s</%s>" % (pad, tag))
        else:
            self.parts.append("%s<%s>%s</%s>" % (pad, tag, format_simple(field.type, value), tag))


def _default(type_):
    return {STRING: "", INT: 0, LONG: 0, FLOAT: 0.0, BOOLEAN: False, DATETIME: 0}[type_]


def _envelope_start(service):
    decls = ['xmlns:SOAP-ENV="%s"' % SOAP_ENV, 'xmlns:SOAP-ENC="%s"' % SOAP_ENC,
             'xmlns:xsi="%s"' % XSI, 'xmlns:xsd="%s"' % XSD]
    for prefix, uri in (service.prefixes if service else []):
        decls.append('xmlns:%s="%s"' % (prefix, esc(uri)))
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<SOAP-ENV:Envelope %s>\n<SOAP-ENV:Body>'
            % " ".join(decls))


_ENVELOPE_END = "\n</SOAP-ENV:Body>\n</SOAP-ENV:Envelope>\n"


def write_response(service, operation, value):
    """The answer envelope of ``operation``; ``value`` is the response child's value (None
    for a record pointer writes no child)."""
    w = Writer(service)
    tag = w.qualified(service.ns, operation.name + "Response")
    w.parts.append(_envelope_start(service))
    w.parts.append("\n<%s>" % tag)
    f = operation.response
    if f.repeated:
        for item in value or []:
            w.element(f, item, 1)
    elif not (isinstance(f.type, ComplexType) and value is None):
        w.element(f, value, 1)
    w.parts.append("\n</%s>" % tag)
    w.parts.append(_ENVELOPE_END)
    return "".join(w.parts).encode("utf-8")


def write_fault(code, message, detail=None, service=None):
    body = ["\n<SOAP-ENV:Fault>", "\n  <faultcode>%s</faultcode>" % esc(code),
            "\n  <faultstring>%s</faultstring>" % esc(text_to_wire(message))]
    if detail:
        body.append("\n  <detail>%s</detail>" % esc(text_to_wire(detail)))
    body.append("\n</SOAP-ENV:Fault>")
    return (_envelope_start(service) + "".join(body) + _ENVELOPE_END).encode("utf-8")
