// The terminal tree grouped by state: one root, four fixed groups, device nodes found by id.
#include "console/DevTree.h"

#include "console/DevIcons.h"
#include "foundation/Consts.h"

#include <QTreeWidget>
#include <QTreeWidgetItem>

// A device node remembers its group and when it was appended, so that "first in tree order" among
// the nodes of one id is known without asking the tree for positions.
class DevNode : public QTreeWidgetItem {
public:
    DevNode(int id, const QString& name, int group, quint64 seq)
        : QTreeWidgetItem(UserType + 1), Id(id), Group(group), Seq(seq)
    {
        setText(0, name);
        setData(0, DevTree::TagRole, id);
        setIcon(0, DevIcons::Device(group));
        // Telling the view that a device node never has children keeps an "expand all" from
        // recording thousands of expanded leaves that every later row change would have to update.
        setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren);
    }
    int Id;
    int Group;
    quint64 Seq;
};

DevTree::DevTree(QTreeWidget* tree) : tree_(tree)
{
    root_ = new QTreeWidgetItem(tree_);
    root_->setText(0, QStringLiteral("设备列表"));
    root_->setData(0, TagRole, -1);
    root_->setIcon(0, DevIcons::Root());
    for (int g = 1; g <= GroupCount; ++g) {
        groups_[g] = new QTreeWidgetItem(root_);
        groups_[g]->setIcon(0, DevIcons::Group(g));
        SetCount(g, 0);
    }
    root_->setExpanded(true);
    for (int g = 1; g <= GroupCount; ++g)
        groups_[g]->setExpanded(true);
}

DevTree::~DevTree() = default; // the nodes belong to the tree widget

QTreeWidgetItem* DevTree::GroupNode(int group) const
{
    return Valid(group) ? groups_[group] : nullptr;
}

QString DevTree::BaseCaption(int group)
{
    switch (group) {
    case GroupUp: return QStringLiteral("正常运行");
    case GroupError: return QStringLiteral("网络异常");
    case GroupDown: return QStringLiteral("关机状态");
    case GroupPowerOff: return QStringLiteral("关闭电源");
    default: return QString();
    }
}

int DevTree::GroupForState(const QString& state)
{
    if (state == Consts::StatusUp)
        return GroupUp;
    if (state == Consts::StatusError)
        return GroupError;
    if (state == Consts::StatusPowerOff)
        return GroupPowerOff;
    return GroupDown;
}

QString DevTree::StateOfGroup(int group)
{
    switch (group) {
    case GroupUp: return Consts::StatusUp;
    case GroupError: return Consts::StatusError;
    case GroupDown: return Consts::StatusDown;
    default: return Consts::StatusPowerOff;
    }
}

int DevTree::TagOf(const QTreeWidgetItem* item)
{
    return item ? item->data(0, TagRole).toInt() : 0;
}

int DevTree::Count(int group) const
{
    return Valid(group) ? counts_[group] : 0;
}

QStringList DevTree::Names(int group) const
{
    QStringList names;
    if (!Valid(group))
        return names;
    for (int i = 0; i < groups_[group]->childCount(); ++i)
        names << groups_[group]->child(i)->text(0);
    return names;
}

void DevTree::SetCount(int group, int count)
{
    counts_[group] = count;
    QTreeWidgetItem* node = groups_[group];
    node->setData(0, TagRole, -count);
    node->setText(0, BaseCaption(group) + QLatin1Char('(') + QString::number(count) + QLatin1Char(')'));
}

DevNode* DevTree::NewNode(int id, const QString& name, int group)
{
    auto* node = new DevNode(id, name, group, nextSeq_++);
    index_[id].append(node);
    return node;
}

DevNode* DevTree::First(int id) const
{
    auto it = index_.constFind(id);
    if (it == index_.cend())
        return nullptr;
    DevNode* first = nullptr;
    for (DevNode* node : *it) {
        if (!first || node->Group < first->Group || (node->Group == first->Group && node->Seq < first->Seq))
            first = node;
    }
    return first;
}

void DevTree::Rebuild(const std::vector<Entry>& entries)
{
    for (int g = 1; g <= GroupCount; ++g)
        qDeleteAll(groups_[g]->takeChildren());
    index_.clear();
    index_.reserve(static_cast<qsizetype>(entries.size()));

    // One insertion per group instead of one per node: the model and view hear of each group once.
    QList<QTreeWidgetItem*> lists[GroupCount + 1];
    for (const Entry& e : entries) {
        if (Valid(e.group))
            lists[e.group].append(NewNode(e.id, e.name, e.group));
    }
    for (int g = 1; g <= GroupCount; ++g) {
        groups_[g]->addChildren(lists[g]);
        SetCount(g, static_cast<int>(lists[g].size()));
    }
    root_->setExpanded(true);
    for (int g = 1; g <= GroupCount; ++g)
        groups_[g]->setExpanded(true);
}

void DevTree::Add(int id, const QString& name, int group)
{
    if (!Valid(group))
        return;
    groups_[group]->addChild(NewNode(id, name, group));
    SetCount(group, counts_[group] + 1);
}

int DevTree::Remove(int id)
{
    auto it = index_.find(id);
    if (it == index_.end())
        return 0;
    const QVarLengthArray<DevNode*, 1> nodes = *it;
    index_.erase(it);
    for (DevNode* node : nodes) {
        SetCount(node->Group, counts_[node->Group] - 1);
        delete node; // takes itself out of its group
    }
    return static_cast<int>(nodes.size());
}

bool DevTree::Move(int id, int group)
{
    if (!Valid(group))
        return false;
    DevNode* node = First(id);
    if (!node || node->Group == group)
        return false;
    const int old = node->Group;
    QTreeWidgetItem* from = groups_[old];
    from->takeChild(from->indexOfChild(node));
    node->Group = group;
    node->Seq = nextSeq_++;
    node->setIcon(0, DevIcons::Device(group));
    groups_[group]->addChild(node);
    SetCount(group, counts_[group] + 1);
    SetCount(old, counts_[old] - 1);
    return true;
}

int DevTree::GroupOf(int id) const
{
    const DevNode* node = First(id);
    return node ? node->Group : 0;
}
