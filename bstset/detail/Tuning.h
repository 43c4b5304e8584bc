// What the tree does only to be fast, each switched off here, in one place.
//
// No switch changes a result: shapes, answers, what observers are told and
// the program's output are the same either way (but that with
// kBoundsByValue off every bound change rebuilds its node, as observers then
// hear), and every test passes both ways (`cmake -DORLO_TUNED=OFF` builds
// everything with all of them off, which CI runs; defining one ORLO_NO_...
// macro switches off that one alone).
// Every translation unit of a program must be built with the same switches.
#pragma once

namespace orlo::detail::tuning {

#if defined(ORLO_PLAIN) || defined(ORLO_NO_CACHED_ROUTING)
/// Walks of an ordered tree decide at a routing node by its own cached
/// bounds where they can, reading one child instead of two.
inline constexpr bool kCachedRouting = false;
#else
inline constexpr bool kCachedRouting = true;
#endif

#if defined(ORLO_PLAIN) || defined(ORLO_NO_EDITS_IN_PLACE)
/// An insertion that cannot fail once it has started (copies, assignments
/// and comparisons of T that cannot throw, the new nodes' memory in hand)
/// widens bounds on its way down instead of noting them for later.
inline constexpr bool kEditsInPlace = false;
#else
inline constexpr bool kEditsInPlace = true;
#endif

#if defined(ORLO_PLAIN) || defined(ORLO_NO_BOUNDS_BY_VALUE)
/// A new bound is assigned (or moved in) where T allows it without a
/// throw; otherwise, and with this off, the routing node is rebuilt as a
/// copy with the new bound.
inline constexpr bool kBoundsByValue = false;
#else
inline constexpr bool kBoundsByValue = true;
#endif

#if defined(ORLO_PLAIN) || defined(ORLO_NO_KIND_BY_TYPEID)
/// Walks tell leaves from routing nodes by typeid (with RTTI) instead of
/// a virtual call.
inline constexpr bool kKindByTypeid = false;
#else
inline constexpr bool kKindByTypeid = true;
#endif

#if defined(ORLO_PLAIN) || defined(ORLO_NO_INLINE_STRING_COMPARE)
/// std::string compares byte by byte inline, not through memcmp.
inline constexpr bool kInlineStringCompare = false;
#else
inline constexpr bool kInlineStringCompare = true;
#endif

#if defined(ORLO_PLAIN) || defined(ORLO_NO_BRANCH_FREE_STEPS)
/// A walk chooses its next node with a mask, not a branch.
inline constexpr bool kBranchFreeSteps = false;
#else
inline constexpr bool kBranchFreeSteps = true;
#endif

#if defined(ORLO_PLAIN) || defined(ORLO_NO_PREFETCH)
/// Walks and the iterator fetch the node they will read next early.
inline constexpr bool kPrefetch = false;
#else
inline constexpr bool kPrefetch = true;
#endif

#if defined(ORLO_PLAIN) || defined(ORLO_NO_READ_AHEAD)
/// ReadAheadSet walks toward hinted values (bstset/ReadAhead.h).
inline constexpr bool kReadAhead = false;
#else
inline constexpr bool kReadAhead = true;
#endif

}  // namespace orlo::detail::tuning
