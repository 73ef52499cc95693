// View > Banks: the board as tile-based hardware sees it, 16 banks of 16 entries or
// 64 banks of 4, each with its number. A bank lies along a line of the board as
// the board shows it: a row while the board is row-major (flipped), a column
// otherwise, so bank n sits where the board has it. A click on a bank marks its
// entries as the range; a bank dragged onto another exchanges the two, keeping the
// picture's look (the editor's SwapBanks, one undo step).
#pragma once

#include <QDialog>
#include <QWidget>
#include <functional>
#include <optional>

class QComboBox;

namespace hw {

class Editor;

// The banks drawn and the pointer's drags between them.
class BankGrid : public QWidget {
  Q_OBJECT
 public:
  BankGrid(QWidget* parent, const Editor& editor);
  int BankSize() const { return size_; }
  void SetBankSize(int size);
  // The bank under `point`, or nullopt.
  std::optional<int> BankAt(QPoint point) const;
  // The middle of bank `bank`'s first swatch.
  QPoint BankCentre(int bank) const;
  QSize sizeHint() const override;

 signals:
  void Clicked(int bank);
  void Dropped(int from, int onto);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool event(QEvent* event) override;

 private:
  // Places along the line (u) and across the lines (v), swapped when the board is
  // column-major.
  QRect Place(int u, int v, int length, int thickness) const;
  QRect LabelRect(int bank) const;
  QRect SwatchRect(int position) const;
  QRect BankRect(int bank) const;

  const Editor& editor_;
  int size_ = 16;
  std::optional<int> pressed_;
  std::optional<int> hovered_;
};

class BanksPanel : public QDialog {
  Q_OBJECT
 public:
  // `run` runs an editor command the way the window runs every command; `save`
  // is the action "Save Bank..." (its button triggers it).
  BanksPanel(QWidget* parent, Editor& editor, std::function<void(std::function<void()>)> run,
             QAction* save);
  void Sync();
  int BankSize() const { return grid_->BankSize(); }
  BankGrid* Grid() const { return grid_; }

 private:
  Editor& editor_;
  std::function<void(std::function<void()>)> run_;
  QComboBox* size_;
  BankGrid* grid_;
};

}  // namespace hw
