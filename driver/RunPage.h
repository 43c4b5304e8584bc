// The page that steps through a run: one self-contained HTML file with the
// run's steps as data and a small script that draws the tree at any step.
//
// The tree at each step is the one BSTSET built. The page carries it as
// changes: every node gets a number when first seen, and each step lists the
// nodes that are new or different since the step before and those that are
// gone, so a step costs what it changed, not the whole tree.
#pragma once

#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Dot.h"
#include "Format.h"
#include "bstset/Node.h"

namespace orlo {

/// Appends text as the contents of a JSON string: quotes, backslashes and
/// control bytes escaped, and <, > and & as \u escapes so that nothing in it
/// can end the script element the data sits in.
void appendJsonText(std::string& out, std::string_view text);

/// Writes the whole page: the HTML around `data`, a JSON object.
void writeRunPage(LineWriter& out, std::string_view data);

template <typename T>
class RunRecorder {
public:
    explicit RunRecorder(std::string_view typeName) { (json_ += "{\"type\":\"") += typeName; json_ += "\",\"steps\":["; }

    /// Notes one answered command line: its text, the lines Orlo printed
    /// for it, the tree after it and, for an update, the walk to its value.
    void step(std::string_view line, std::string_view printed, Node<T>* root, const T* value) {
        if (steps_++ != 0) json_ += ',';
        json_ += "{\"cmd\":\"";
        shown_.clear();
        appendShownText(shown_, line);
        appendJsonText(json_, shown_);
        json_ += "\",\"out\":[";
        bool first = true;
        while (!printed.empty()) {
            const std::size_t end = printed.find('\n');
            const std::string_view one = printed.substr(0, end);
            printed = end == std::string_view::npos ? std::string_view() : printed.substr(end + 1);
            if (!first) json_ += ',';
            first = false;
            shown_.clear();
            appendShownText(shown_, one);
            json_ += '"';
            appendJsonText(json_, shown_);
            json_ += '"';
        }
        json_ += "],";
        recordChanges(root);
        if (value != nullptr && root != nullptr) {
            const std::vector<Node<T>*> path = pathOf(root, *value);
            json_ += ",\"path\":[";
            for (std::size_t i = 0; i < path.size(); ++i) {
                if (i != 0) json_ += ',';
                json_ += std::to_string(idOf(path[i]));
            }
            json_ += "],\"found\":";
            json_ += path.back()->leftMin() == *value ? "true" : "false";
        }
        json_ += '}';
    }

    /// The data for writeRunPage.
    std::string finish() {
        json_ += "]}";
        return std::move(json_);
    }

private:
    std::string json_;
    std::string shown_, record_;
    long steps_ = 0;
    long nextId_ = 0;
    std::unordered_map<const Node<T>*, long> ids_;
    std::unordered_map<long, std::string> before_;  // each node's record after the last step

    long idOf(const Node<T>* n) {
        auto [at, fresh] = ids_.try_emplace(n, nextId_);
        if (fresh) ++nextId_;
        return at->second;
    }

    void appendValueText(const T& v) {
        std::string text;
        appendValue(text, v);
        shown_.clear();
        appendShownText(shown_, text);
        record_ += '"';
        appendJsonText(record_, shown_);
        record_ += '"';
    }

    // "root":id, "set":[records of new or changed nodes], "gone":[ids].
    // A leaf is [id,1,value,count], a routing node [id,0,min,max,left,right].
    void recordChanges(Node<T>* root) {
        std::unordered_map<long, std::string> now;
        std::string set, gone;
        std::vector<Node<T>*> stack;
        if (root != nullptr) stack.push_back(root);
        while (!stack.empty()) {
            Node<T>* n = stack.back();
            stack.pop_back();
            const long id = idOf(n);
            record_ = '[' + std::to_string(id);
            if (n->getType() == 1) {
                record_ += ",1,";
                appendValueText(n->leftMin());
                record_ += ',' + std::to_string(static_cast<LeafNode<T>*>(n)->multiplicity);
            } else {
                record_ += ",0,";
                appendValueText(n->leftMin());
                record_ += ',';
                appendValueText(n->rightMax());
                record_ += ',' + std::to_string(idOf(n->getLeft())) + ',' + std::to_string(idOf(n->getRight()));
                stack.push_back(n->getRight());
                stack.push_back(n->getLeft());
            }
            record_ += ']';
            const auto old = before_.find(id);
            if (old == before_.end() || old->second != record_) {
                if (!set.empty()) set += ',';
                set += record_;
            }
            now.emplace(id, std::move(record_));
        }
        for (const auto& [id, record] : before_) {
            if (now.count(id) == 0) {
                if (!gone.empty()) gone += ',';
                gone += std::to_string(id);
            }
        }
        // Numbers of nodes that are gone are forgotten, so a node made later
        // at a freed address is new to the page. (One freed and remade in the
        // same step keeps its number and arrives as a changed record.)
        for (auto it = ids_.begin(); it != ids_.end();) {
            it = now.count(it->second) == 0 ? ids_.erase(it) : std::next(it);
        }
        before_ = std::move(now);
        json_ += "\"root\":" + (root == nullptr ? std::string("-1") : std::to_string(idOf(root)));
        json_ += ",\"set\":[" + set + "],\"gone\":[" + gone + "]";
    }
};

}  // namespace orlo
