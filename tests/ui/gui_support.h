#pragma once

#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "ui/forms/modal_dialogs.h"
#include "ui/shell/main_frame.h"

namespace kavendrum::testing {

struct ShownBox {
    QString text;
    QString caption;
    ui::BoxStyle style;
};

// Answers every modal box and dialog in place of a person, and keeps what they showed. Boxes
// are answered OK unless an answer was queued.
class Person {
  public:
    Person();
    ~Person();
    Person(const Person&) = delete;
    Person& operator=(const Person&) = delete;

    std::vector<QString> Texts() const;

    std::vector<ShownBox> boxes;
    std::deque<bool> answers;
    QString fileToChoose;
    std::optional<QString> folderToChoose;
    QString folderOfferedFirst;
    // Run as each box shows, to look at the window behind it.
    std::function<void()> whileBoxShows;

  private:
    ui::ModalAnswers m_answers;
};

// A main frame over an option file of its own, created as the program creates it.
std::unique_ptr<ui::CMainFrame> MakeFrame(const QTemporaryDir& dir,
                                          const QString& startArgument = QString());

template <class T>
T* Control(QWidget* form, int id) {
    return form->findChild<T*>(QString::number(id));
}

QByteArray FileBytes(const QString& path);
void WriteFile(const QString& path, const QByteArray& bytes);
QByteArray RandomBytes(int size);

}  // namespace kavendrum::testing
