// SPDX-License-Identifier: GPL-3.0-or-later
import QtQml.Models

// A ListModel that follows an array of flat objects (all with the same keys) with the fewest
// changes: entries that kept their values are left alone, changed ones are set, new ones
// appended and vanished ones removed. A list or table that grows while a reply streams so
// keeps its rows instead of building them all again.
ListModel {
    id: root

    property var values: []

    function sync() {
        const v = root.values || []
        const n = v.length
        for (let i = 0; i < n; ++i) {
            if (i >= root.count) {
                root.append(v[i])
                continue
            }
            const current = root.get(i)
            for (const key in v[i]) {
                if (current[key] !== v[i][key]) {
                    root.set(i, v[i])
                    break
                }
            }
        }
        if (root.count > n)
            root.remove(n, root.count - n)
    }

    onValuesChanged: sync()
}
