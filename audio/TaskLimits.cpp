#include "TaskLimits.h"

#include "AudioTask.h"
#include "Services.h"

namespace audio {

void ShowTableFull(int free) {
    const QString text =
        free == 0
            ? QStringLiteral("The task list is full: it takes at most %1 files in one session.")
                  .arg(AudioTaskTable::kSlots)
            : QStringLiteral("The task list takes at most %1 files in one session; only %2 more "
                             "can be added. No file was added.")
                  .arg(AudioTaskTable::kSlots)
                  .arg(free);
    platform::messages().Show(text, QStringLiteral("Task list is full"), platform::Icon::Error);
}

} // namespace audio
