#include "gui_support.h"

#include <QFile>
#include <QRandomGenerator>

namespace kavendrum::testing {

Person::Person() {
    m_answers.box = [this](QWidget*, const QString& text, const QString& caption,
                           ui::BoxStyle style) {
        boxes.push_back({text, caption, style});
        if (whileBoxShows) {
            whileBoxShows();
        }
        if (answers.empty()) {
            return true;
        }
        const bool ok = answers.front();
        answers.pop_front();
        return ok;
    };
    m_answers.file = [this](QWidget*, const QString&) { return fileToChoose; };
    m_answers.folder = [this](QWidget*, const QString& initial) {
        folderOfferedFirst = initial;
        return folderToChoose;
    };
    ui::SetModalAnswers(&m_answers);
}

Person::~Person() {
    ui::SetModalAnswers(nullptr);
}

std::vector<QString> Person::Texts() const {
    std::vector<QString> texts;
    for (const auto& box : boxes) {
        texts.push_back(box.text);
    }
    return texts;
}

std::unique_ptr<ui::CMainFrame> MakeFrame(const QTemporaryDir& dir, const QString& startArgument) {
    auto frame = std::make_unique<ui::CMainFrame>(dir.filePath("kavendrum.opt"), startArgument);
    if (!frame->Create()) {
        return nullptr;
    }
    return frame;
}

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(bytes);
    }
}

QByteArray RandomBytes(int size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(11);
    for (auto& byte : bytes) {
        byte = static_cast<char>(generator.generate());
    }
    return bytes;
}

}  // namespace kavendrum::testing
