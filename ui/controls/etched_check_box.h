#pragma once

#include <QAbstractButton>
#include <QFontMetrics>
#include <QString>

namespace kavendrum::ui {

// A check box that keeps its state in itself: a click turns 0 into 1 and anything else into 0.
// The form reads and writes the state; it is told of no click.
class CEtchedCheckBox : public QAbstractButton {
    Q_OBJECT

  public:
    explicit CEtchedCheckBox(QWidget* parent = nullptr);

    void SetCaption(const QString& caption) { m_strCaption = caption; }
    const QString& Caption() const { return m_strCaption; }
    int m_nChecked = 0;

    // The drawn box's side for a font; the caption starts three pixels right of it.
    static int BoxSize(const QFontMetrics& metrics);
    static constexpr int kSmallestBox = 13;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void OnClicked();

    QString m_strCaption;
};

}  // namespace kavendrum::ui
