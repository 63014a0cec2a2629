// The terminal tree grouped by state: one root, four fixed groups, device nodes found by id.
#pragma once

#include <QHash>
#include <qnamespace.h>
#include <QString>
#include <QVarLengthArray>

#include <vector>

class QTreeWidget;
class QTreeWidgetItem;
class DevNode;

// Owns the structure inside a QTreeWidget: the root "设备列表" and its four groups, in the order
// that identifies them (1 up, 2 error, 3 down, 4 poweroff). Every device node carries its terminal
// id as tag; each group carries minus its node count as tag and "<base>(<count>)" as caption.
// Nodes are reached through an id index instead of scanning, so a state move costs about the same
// whatever the tree's size. An id may occur more than once (a terminal with two status rows): the
// operations that look at one node take the first one in tree order, as a scan would.
class DevTree {
public:
    static constexpr int TagRole = Qt::UserRole + 1; // the node's integer tag
    static constexpr int GroupUp = 1;
    static constexpr int GroupError = 2;
    static constexpr int GroupDown = 3;
    static constexpr int GroupPowerOff = 4;
    static constexpr int GroupCount = 4;

    struct Entry {
        int id;
        QString name;
        int group;
    };

    // Creates the root and the four empty groups in tree (which must be empty) and expands them.
    explicit DevTree(QTreeWidget* tree);
    ~DevTree();
    DevTree(const DevTree&) = delete;
    DevTree& operator=(const DevTree&) = delete;

    QTreeWidget* Widget() const { return tree_; }
    QTreeWidgetItem* Root() const { return root_; }
    QTreeWidgetItem* GroupNode(int group) const; // 1..4, else null

    // Removes every device node, then adds entries in order, each as the last node of its group.
    void Rebuild(const std::vector<Entry>& entries);
    // Adds one device node as the last node of group.
    void Add(int id, const QString& name, int group);
    // Removes every node of id; returns how many there were.
    int Remove(int id);
    // Moves the first node of id to the end of group. False (and nothing changes) when there is no
    // such node or it already is in that group.
    bool Move(int id, int group);

    // Group (1..4) of the first node of id in tree order; 0 when id has no node.
    int GroupOf(int id) const;
    int Count(int group) const;
    // Tag of a node: the terminal id for a device node, minus the count for a group, -1 for the root.
    static int TagOf(const QTreeWidgetItem* item);
    // Names of the device nodes of a group, top to bottom (for checks and tests).
    QStringList Names(int group) const;

    static QString BaseCaption(int group);
    // The group a status word selects when a terminal is moved: up 1, error 2, poweroff 4, else 3.
    static int GroupForState(const QString& state);
    // The status word of a group: 1 up, 2 error, 3 down, anything else poweroff.
    static QString StateOfGroup(int group);

private:
    DevNode* NewNode(int id, const QString& name, int group);
    DevNode* First(int id) const;
    void SetCount(int group, int count);
    bool Valid(int group) const { return group >= 1 && group <= GroupCount; }

    QTreeWidget* tree_;
    QTreeWidgetItem* root_ = nullptr;
    QTreeWidgetItem* groups_[GroupCount + 1] = {};
    int counts_[GroupCount + 1] = {};
    // Every node of an id; nearly always one. Within a group nodes are only ever appended, so a
    // node's sequence number orders it among its group's nodes.
    QHash<int, QVarLengthArray<DevNode*, 1>> index_;
    quint64 nextSeq_ = 1;
};
