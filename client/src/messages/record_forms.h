// Several forms of one message record written once.
//
// A message that the server has changed over the years arrives in several
// forms: the newest one and older ones that lack some members, carry others,
// or hold a member in a narrower integer. Such a record is written once, as a
// template over a form description: a struct of constants that says what the
// form carries. An older form's description derives from the description of
// the form it converts to and names only its differences, so each form is
// stated once, the way the message set describes it.
//
// A member that only some forms carry is declared with KELAPI_FORM_MEMBER: in
// a form without it the member is an empty placeholder that takes no room, so
// every later member sits where that form puts it. KELAPI_FORM_HAS(r.member) tells
// at compile time whether a form carries the member. Every instance is plain
// data whose sizes and offsets are pinned with static_assert next to it.
// No state; any thread.
#pragma once

#include <cstdint>
#include <type_traits>

namespace kelda::kelapi {

// The placeholder of a member that a form does not carry. Each placeholder
// has a type of its own (the line number tells them apart), so that no two of
// them need distinct addresses and none takes room.
template <int Line>
struct FormAbsent {};

template <bool Has, int Line, typename T>
using FormMember = std::conditional_t<Has, T, FormAbsent<Line>>;

// A 16- or 32-bit integer member, as the form gives it.
template <int Bits>
using FormInt = std::conditional_t<Bits == 16, int16_t, int32_t>;

#define KELAPI_FORM_MEMBER(has, ...) [[no_unique_address]] ::kelda::kelapi::FormMember<(has), __LINE__, __VA_ARGS__>

template <typename T>
inline constexpr bool kFormCarries = !std::is_empty_v<T>;

// Whether the record's form carries the member: KELAPI_FORM_HAS(record.member).
#define KELAPI_FORM_HAS(member) (::kelda::kelapi::kFormCarries<std::remove_cvref_t<decltype(member)>>)

}  // namespace kelda::kelapi
