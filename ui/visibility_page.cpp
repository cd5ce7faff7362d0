#include "ui/visibility_page.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zelk {

namespace {

constexpr int kIndexRole = Qt::UserRole;
constexpr int kImageRole = Qt::UserRole + 1;

QPixmap DrawEye(bool open) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath lids;
  lids.moveTo(1.5, 8);
  lids.quadTo(8, 1, 14.5, 8);
  lids.quadTo(8, 15, 1.5, 8);
  const QColor ink = open ? QColor(20, 20, 20) : QColor(130, 130, 130);
  painter.setPen(QPen(ink, 1.2));
  painter.setBrush(Qt::white);
  painter.drawPath(lids);
  painter.setPen(Qt::NoPen);
  painter.setBrush(open ? QColor(30, 90, 200) : QColor(160, 160, 160));
  painter.drawEllipse(QPointF(8, 8), 2.6, 2.6);
  if (!open) {
    painter.setPen(QPen(QColor(200, 30, 30), 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(2.5, 13.5), QPointF(13.5, 2.5));
  }
  return pixmap;
}

}  // namespace

QIcon VisibilityImage(int imageIndex) {
  // Two icons for the whole program, so a node's icon can be compared with the buttons'.
  static const QIcon hidden(DrawEye(false)), shown(DrawEye(true));
  return imageIndex == kHiddenImage ? hidden : shown;
}

VisibilityPage::VisibilityPage(VisibilityTree& tree, QWidget* parent)
    : QWidget(parent),
      tree_(tree),
      list_(new QTreeWidget(this)),
      hide_(new QToolButton(this)),
      show_(new QToolButton(this)) {
  list_->setObjectName("BranchList");
  list_->setHeaderHidden(true);
  list_->setColumnCount(1);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  hide_->setObjectName("HideObjectBtn");
  hide_->setToolTip("Hide");
  hide_->setIcon(VisibilityImage(kHiddenImage));
  show_->setObjectName("ShowObjectBtn");
  show_->setToolTip("Show");
  show_->setIcon(VisibilityImage(kShownImage));

  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(0, 0, 0, 0);
  buttons->addWidget(hide_);
  buttons->addWidget(show_);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addLayout(buttons);
  layout->addWidget(list_);

  connect(hide_, &QToolButton::clicked, this, [this] { tree_.HideObjectBtnClick(); });
  connect(show_, &QToolButton::clicked, this, [this] { tree_.ShowObjectBtnClick(); });
  connect(list_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
    if (syncing_) return;
    tree_.Select(current ? current->data(0, kIndexRole).toInt() : -1);
  });
  tree_.SetRepaintTree([this] { Refresh(); });
  Refresh();
}

VisibilityPage::~VisibilityPage() { tree_.SetRepaintTree({}); }

QTreeWidgetItem* VisibilityPage::Item(int index) const {
  return index >= 0 && index < static_cast<int>(items_.size()) ? items_[index] : nullptr;
}

void VisibilityPage::Recreate() {
  list_->clear();
  items_.assign(tree_.Count(), nullptr);
  QList<QTreeWidgetItem*> top;
  for (int i = 0; i < tree_.Count(); ++i) {
    const VisibilityNode& node = tree_.Node(i);
    // Parents come before their children in flat order.
    auto* item = node.Parent < 0 ? new QTreeWidgetItem : new QTreeWidgetItem(items_[node.Parent]);
    item->setText(0, QString::fromStdString(node.Text));
    item->setData(0, kIndexRole, i);
    items_[i] = item;
    if (node.Parent < 0) top << item;
  }
  list_->addTopLevelItems(top);
  if (!items_.empty()) items_[0]->setExpanded(true);
  generation_ = tree_.Generation();
}

void VisibilityPage::Refresh() {
  syncing_ = true;
  if (generation_ != tree_.Generation() || static_cast<int>(items_.size()) != tree_.Count())
    Recreate();
  // Only changed images are set: a tree of 50 responses has tens of thousands of nodes.
  for (int i = 0; i < tree_.Count(); ++i) {
    const int image = tree_.Node(i).ImageIndex;
    QTreeWidgetItem* item = items_[i];
    const QVariant drawn = item->data(0, kImageRole);
    if (drawn.isValid() && drawn.toInt() == image) continue;
    item->setData(0, kImageRole, image);
    item->setIcon(0, VisibilityImage(image));
  }
  if (QTreeWidgetItem* selected = Item(tree_.Selected()))
    list_->setCurrentItem(selected);
  else
    list_->setCurrentItem(nullptr);
  syncing_ = false;
}

}  // namespace zelk
