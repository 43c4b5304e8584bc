// The frame: what the page's session (PageSession.cpp, compiled to
// WebAssembly) hands the page for a step or a search. This file is its one
// definition: the session writes frames by these names, and the build
// generates the page's frame-layout.js from the same lists (FrameLayoutJs.cpp),
// so a field added here is read by the same name on both sides.
//
// A frame is 32-bit little-endian words, then UTF-8 text:
//   the header (FRAME_HEADER: one word each, in this order);
//   the spans of the step's texts (FRAME_SPANS: three words each, Span);
//   the walk: header.walkItems records of WalkItem;
//   the change: header.changeItems records of ChangeItem;
//   the tree before the command, then after it: header.beforeNodes and
//   header.afterNodes records of NodeItem, each in pre-order (a node's
//   drawn subtree is the `size` records from it on); a long walk's upper
//   levels come folded into one record (NodeKind::path) above the rest;
//   the figures: header.figureWords words, FIGURES then one word per depth
//   (leaves at depth 1, 2, ... height);
//   the text: header.textBytes bytes. A span is (offset into the text, bytes,
//   and, when the text was cut, the bytes of the whole); every value and
//   line in it is escaped for display (Escape::Text) and, where long, cut to
//   its start and end around "…".
// A node's id is the node's address: it names the node while it is in the
// tree (and a freed node in the step that freed it).
#pragma once

// X(name): one word per name, in this order.
#define ORLO_FRAME_HEADER(X)                                                                              \
    X(done)         /* the step shown: commands carried out (0: before the first) */                    \
    X(steps)        /* command lines in the file */                                                      \
    X(known)        /* commands run so far: steps up to this one are reached without reading the file */ \
    X(type)         /* FrameType */                                                                      \
    X(kind)         /* FrameKind */                                                                      \
    X(flags)        /* FrameFlag bits */                                                                 \
    X(countBefore)  /* the value's count before the command */                                          \
    X(countAfter)   /* and after it (what Orlo prints as b(v)) */                                        \
    X(depth)        /* what Orlo prints as b[v]: the depth of its leaf, -1 when not held */              \
    X(walkItems)                                                                                          \
    X(changeItems)                                                                                        \
    X(beforeNodes)                                                                                        \
    X(afterNodes)                                                                                         \
    X(figureWords)                                                                                        \
    X(textBytes)                                                                                          \
    X(waitingLine)  /* the command line the waiting text began in (0: nothing waits) */                \
    X(walkSkipped)  /* comparisons left out of the middle of a long walk */

// The step's texts, each a span.
#define ORLO_FRAME_SPANS(X)                                                              \
    X(line)         /* the command line as read */                                       \
    X(value)        /* the value as Orlo prints it */                                    \
    X(exact)        /* the value in full: the shortest text that reads back the same */  \
    X(printed)      /* what Orlo printed for the step */                                 \
    X(listing)      /* the listing, once the last command is done */                     \
    X(waiting)      /* text still waiting in the stream after the step */                \
    X(problem)      /* why the step could not be shown, when it could not */

// Each text is three words.
#define ORLO_SPAN(X) \
    X(at)            \
    X(bytes)         \
    X(whole) /* the whole text's bytes, when it was cut; 0 when it is whole */

// One comparison of the walk, root first, or the leaf it ends at.
#define ORLO_WALK_ITEM(X)                                                            \
    X(node)                                                                          \
    X(how)          /* WalkHow */                                                    \
    X(right)        /* 1: the walk went on to the right child */                    \
    X(holds)        /* at a leaf: 1 when it holds the value */                       \
    X(boundAt) X(boundBytes) X(boundWhole) /* the bound compared with, as printed */ \
    X(exactAt) X(exactBytes) X(exactWhole) /* and in full */

// One change the command made, in the order it made them.
#define ORLO_CHANGE_ITEM(X)                                                   \
    X(what)         /* ChangeWhat */                                          \
    X(node)                                                                   \
    X(largest)      /* a bound: 1 for the largest value, 0 for the smallest */ \
    X(before)       /* a count: before */                                     \
    X(after)        /* and after */                                           \
    X(oldAt) X(oldBytes) X(oldWhole) /* a bound: before */                    \
    X(newAt) X(newBytes) X(newWhole) /* and after */

// One node drawn. A fold stands for a whole subtree drawn as one shape.
#define ORLO_NODE_ITEM(X)                                                                      \
    X(id)                                                                                      \
    X(kind)         /* NodeKind */                                                             \
    X(depth)        /* the root is 1 */                                                        \
    X(size)         /* records of its drawn subtree, itself included */                        \
    X(count)        /* a leaf: its multiplicity */                                             \
    X(leaves)       /* leaves in its subtree (1 for a leaf) */                                 \
    X(height)       /* levels of its subtree (1 for a leaf) */                                 \
    X(smallestAt) X(smallestBytes) X(smallestWhole) /* a leaf's value or the smallest below */ \
    X(largestAt) X(largestBytes) X(largestWhole)                                               \
    X(exactSmallestAt) X(exactSmallestBytes) X(exactSmallestWhole) /* in full, where printing */ \
    X(exactLargestAt) X(exactLargestBytes) X(exactLargestWhole)     /* rounds (else empty) */

#define ORLO_FIGURES(X)                                                \
    X(distinct)                                                        \
    X(occurrencesLow) X(occurrencesHigh)                               \
    X(routing)                                                         \
    X(height)                                                          \
    X(depthSumLow) X(depthSumHigh) /* leaf depths added up */

// X(name, value): the values of the enumerations.
#define ORLO_FRAME_TYPE(X) X(none, 0) X(INT, 1) X(DOUBLE, 2) X(STRING, 3)
#define ORLO_FRAME_KIND(X) \
    X(start, 0)  /* before the first command */ \
    X(add, 1) X(del, 2)                       \
    X(other, 3)  /* another keyword */        \
    X(search, 4) /* a search, not a step */
#define ORLO_FRAME_FLAG(X)                                                          \
    X(extracted, 1)  /* a value was read for the command */                         \
    X(stuck, 2)      /* the stream cannot get past its next character any more */  \
    X(unordered, 4)  /* the tree has held a value unequal to itself */             \
    X(listed, 8)     /* the listing is in the frame */                              \
    X(stopped, 16)   /* Orlo stopped at this step; problem says why */
#define ORLO_WALK_HOW(X)                                                                      \
    X(rightSmallest, 0) /* v < the right side's smallest goes left, anything else right */   \
    X(leftLargest, 1)   /* v > the left side's largest goes right, anything else left */     \
    X(outsideRange, 2)  /* v is outside this node's smallest..largest: the walk ends here */ \
    X(betweenSides, 3)  /* v lies between the two sides: the walk ends here */               \
    X(leaf, 4)          /* the leaf the walk reaches */
#define ORLO_CHANGE_WHAT(X)                                             \
    X(created, 0)                                                       \
    X(freed, 1)                                                         \
    X(bound, 2)                                                         \
    X(count, 3)                                                         \
    X(rose, 4) /* node took the place of the routing node freed above it */
#define ORLO_NODE_KIND(X) \
    X(leaf, 0) X(routing, 1) X(fold, 2) \
    X(path, 3) /* the upper part of a long walk's path, folded: `count` levels */

// How much of a long walk a frame carries; the page numbers and draws by them.
#define ORLO_FRAME_LIMITS(X)                                                              \
    X(walkHead, 8)    /* a long walk's first comparisons, then walkSkipped are left out */ \
    X(walkTail, 64)   /* and its last ones; the leaf comes after them */                        \
    X(pathLevels, 64) /* the path levels drawn unless the page asks for more */

// Every record, for both sides: X(C++ name, JS name, its list, the name of
// its length in C++ and in JS); and every enumeration the page reads:
// X(JS name, its list).
#define ORLO_FRAME_RECORDS(X)                                   \
    X(Header, HEADER, ORLO_FRAME_HEADER, kWords, WORDS)         \
    X(Spans, SPANS, ORLO_FRAME_SPANS, kCount, COUNT)            \
    X(Span, SPAN, ORLO_SPAN, kWords, WORDS)                     \
    X(WalkItem, WALK_ITEM, ORLO_WALK_ITEM, kWords, WORDS)       \
    X(ChangeItem, CHANGE_ITEM, ORLO_CHANGE_ITEM, kWords, WORDS) \
    X(NodeItem, NODE_ITEM, ORLO_NODE_ITEM, kWords, WORDS)       \
    X(Figures, FIGURES, ORLO_FIGURES, kWords, WORDS)
#define ORLO_FRAME_ENUMS(X)          \
    X(TYPE, ORLO_FRAME_TYPE)         \
    X(KIND, ORLO_FRAME_KIND)         \
    X(FLAG, ORLO_FRAME_FLAG)         \
    X(WALK_HOW, ORLO_WALK_HOW)       \
    X(CHANGE_WHAT, ORLO_CHANGE_WHAT) \
    X(NODE_KIND, ORLO_NODE_KIND)     \
    X(LIMITS, ORLO_FRAME_LIMITS)

#include <cstddef>
#include <cstdint>

namespace orlo::frame {

#define ORLO_FRAME_INDEX(name) name,
#define ORLO_FRAME_VALUE(name, value) name = value,

/// Word positions within a record; kWords is a record's length.
#define ORLO_FRAME_RECORD(Name, js, list, size, jsSize)     \
    struct Name {                                           \
        enum : std::uint32_t { list(ORLO_FRAME_INDEX) size }; \
    };
ORLO_FRAME_RECORDS(ORLO_FRAME_RECORD)
#undef ORLO_FRAME_RECORD

enum class Type : std::uint32_t { ORLO_FRAME_TYPE(ORLO_FRAME_VALUE) };
enum class Kind : std::uint32_t { ORLO_FRAME_KIND(ORLO_FRAME_VALUE) };
enum Flag : std::uint32_t { ORLO_FRAME_FLAG(ORLO_FRAME_VALUE) };
enum class WalkHow : std::uint32_t { ORLO_WALK_HOW(ORLO_FRAME_VALUE) };
enum class ChangeWhat : std::uint32_t { ORLO_CHANGE_WHAT(ORLO_FRAME_VALUE) };
enum class NodeKind : std::uint32_t { ORLO_NODE_KIND(ORLO_FRAME_VALUE) };
struct Limits {
    enum : std::uint32_t { ORLO_FRAME_LIMITS(ORLO_FRAME_VALUE) };
};

#undef ORLO_FRAME_INDEX
#undef ORLO_FRAME_VALUE

}  // namespace orlo::frame
