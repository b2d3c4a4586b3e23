#pragma once
// A strict reading of an ASE text for tests: CR LF lines, one block per line
// that ends in "{", closing lines of a lone "}", tab indentation equal to the
// nesting depth. Gives the file as a tree of keyword lines.

#include <cstdlib>
#include <string>
#include <vector>

struct AseLine {
  std::string keyword;  // first token
  std::string rest;     // everything after it, as written
  std::vector<AseLine> children;
  bool block = false;

  std::vector<double> numbers() const {
    std::vector<double> v;
    const char* p = rest.c_str();
    char* end = nullptr;
    for (;;) {
      double d = std::strtod(p, &end);  // leading blanks skipped
      if (end == p) break;
      v.push_back(d);
      p = end;
    }
    return v;
  }
  std::string quoted() const {
    size_t a = rest.find('"'), b = rest.rfind('"');
    return a == std::string::npos || b == a ? std::string() : rest.substr(a + 1, b - a - 1);
  }
  std::vector<const AseLine*> all(const std::string& k) const {
    std::vector<const AseLine*> out;
    for (const AseLine& c : children)
      if (c.keyword == k) out.push_back(&c);
    return out;
  }
  const AseLine* find(const std::string& k) const {
    const std::vector<const AseLine*> found = all(k);
    return found.empty() ? nullptr : found[0];
  }
};

// Fills root with the top-level lines; false with a message on the first fault.
inline bool parseAse(const std::string& text, AseLine& root, std::string& error) {
  std::vector<AseLine*> stack{&root};
  size_t pos = 0, number = 0;
  auto fail = [&](const std::string& why) {
    error = "line " + std::to_string(number) + ": " + why;
    return false;
  };
  while (pos < text.size()) {
    size_t end = text.find("\r\n", pos);
    ++number;
    if (end == std::string::npos) return fail("does not end in CR LF");
    std::string line = text.substr(pos, end - pos);
    pos = end + 2;
    if (line.find_first_of("\r\n") != std::string::npos) return fail("holds a bare CR or LF");
    if (line.size() > 1000) return fail("longer than 1000 characters");
    size_t tabs = line.find_first_not_of('\t');
    if (tabs == std::string::npos) return fail("empty");
    std::string body = line.substr(tabs);
    if (body == "}") {
      if (stack.size() == 1) return fail("closes a block that was never opened");
      stack.pop_back();
      if (tabs != stack.size() - 1) return fail("closing brace indented wrongly");
      continue;
    }
    // The exporter sets each vertex normal one tab in under its face normal.
    bool vertexNormal = body.rfind("*MESH_VERTEXNORMAL", 0) == 0;
    if (tabs != stack.size() - 1 + (vertexNormal ? 1 : 0))
      return fail("indented " + std::to_string(tabs) + " tabs at depth " + std::to_string(stack.size() - 1));
    AseLine l;
    size_t sp = body.find_first_of(" \t");
    l.keyword = body.substr(0, sp);
    l.rest = sp == std::string::npos ? "" : body.substr(sp + 1);
    size_t open = body.find('{'), close = body.find('}');
    if (close != std::string::npos || (open != std::string::npos && open != body.size() - 1))
      return fail("brace inside a line");
    l.block = open != std::string::npos;
    if (l.block) l.rest = l.rest.substr(0, l.rest.size() - 1);
    stack.back()->children.push_back(std::move(l));
    if (stack.back()->children.back().block) stack.push_back(&stack.back()->children.back());
  }
  if (stack.size() != 1) error = "file ends inside a block";
  return stack.size() == 1;
}

// Every *GEOMOBJECT, in file order, however deep in groups.
inline void collectObjects(const AseLine& block, std::vector<const AseLine*>& out, int depth, int& maxDepth) {
  if (depth > maxDepth) maxDepth = depth;
  for (const AseLine& c : block.children) {
    if (c.keyword == "*GEOMOBJECT") out.push_back(&c);
    if (c.keyword == "*GROUP") collectObjects(c, out, depth + 1, maxDepth);
  }
}
