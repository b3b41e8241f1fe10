#pragma once

#include <QObject>
#include <initializer_list>
#include <vector>

namespace kavendrum::ui {

// Silences the given objects' signals for its lifetime, so that a form writing its members into
// its controls never triggers its own change handlers.
class BlockedSignals {
  public:
    explicit BlockedSignals(std::initializer_list<QObject*> objects) {
        for (QObject* object : objects) {
            m_objects.push_back({object, object->blockSignals(true)});
        }
    }
    ~BlockedSignals() {
        for (const auto& [object, wasBlocked] : m_objects) {
            object->blockSignals(wasBlocked);
        }
    }
    BlockedSignals(const BlockedSignals&) = delete;
    BlockedSignals& operator=(const BlockedSignals&) = delete;

  private:
    std::vector<std::pair<QObject*, bool>> m_objects;
};

}  // namespace kavendrum::ui
