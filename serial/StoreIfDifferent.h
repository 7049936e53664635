#pragma once

namespace serial {

// Stores a new value in a setting's field; false for an equal value, which
// must touch nothing (an open port is not set up again).
template <typename Value> bool storeIfDifferent(Value &field, const Value &value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

} // namespace serial
