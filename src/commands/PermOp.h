#pragma once
// How a new permission value is formed from the current one, and the command kinds of the matrix.
#include <cstdint>

enum TPermOp : std::uint8_t {
    poOr,     // current OR value
    poAndNot, // current AND NOT value
    poSet,    // value
};

// The value to write for an operation on the current value.
constexpr std::int32_t CombinePermission(std::int32_t current, TPermOp op, std::int32_t value) {
    switch (op) {
    case poOr:
        return current | value;
    case poAndNot:
        return current & ~value;
    default:
        return value;
    }
}

// The command kinds of the users/groups matrix, in menu order.
enum TUGCommand : std::uint8_t { ugAddToGroup, ugRemoveFromGroup, ugDeleteUser, ugDeleteGroup };
