// SPDX-License-Identifier: GPL-3.0-or-later
import QtQml

// An object made from its component the first time it is asked for, then kept: a menu or a
// dialog that is never opened costs nothing. Like Component.createObject(owner), the object's
// parent is the owner, which it lives as long as (a popup shows in the owner's window; tests
// find it among the owner's children).
QtObject {
    id: lazy

    /// What is made.
    default property Component component
    /// The new object's parent.
    required property QtObject owner
    /// The object, once made; null until then.
    readonly property QtObject object: made

    // Set by get() alone.
    property QtObject made: null

    /// The object, made now if it was not yet.
    function get(): QtObject {
        if (!made)
            made = component.createObject(owner)
        return made
    }
}
