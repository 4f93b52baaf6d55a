#pragma once
// The task table and the folder listing hold 4095 entries each; adds beyond
// that are refused with a message so the table stays intact.

namespace audio {

// Tells the user the task list cannot take the add; free is the number of
// slots still open.
void ShowTableFull(int free);

} // namespace audio
