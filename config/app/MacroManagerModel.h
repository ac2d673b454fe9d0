// What the macro manager window does to the macro database, without the
// window: the macro list operations, the recording state and the conversion
// of a recording into steps, the step tools and the delay edits. The window
// only shows the results, so everything here is driven directly by tests.
//
// Every change lands in the working macro list (TkwMacroClass) and is copied
// into the current set of the caller's database object only after the step
// editor's press/release repair, so the set, the rows on screen and what an
// APPLY sends to the mouse always agree.
#pragma once

#include "core/kwHook.h"
#include "core/kwMacroClassUnit.h"
#include "core/pubunit_device_encoders.h"

#include <QString>

#include <optional>
#include <vector>

// Steps one macro slot of the mouse can play (the end step not counted).
inline constexpr int MACRO_DEVICE_STEP_LIMIT = MACRO_MAX_ENCODED_STEPS;
static_assert(MACRO_DEVICE_STEP_LIMIT == 59);

// Rows the live recording display shows at most.
inline constexpr int MACRO_LIVE_ROW_LIMIT = 59;
// A pause this long or longer shows no delay row while recording (it is
// stored all the same).
inline constexpr uint32_t MACRO_LIVE_DELAY_LIMIT_MS = 10000;

// ---- rows of the step list ---------------------------------------------------

enum class TStepRowKind { Delay, KeyDown, KeyUp, MouseDown, MouseUp, Unknown };

struct TStepRow {
    TStepRowKind Kind = TStepRowKind::Unknown;
    QString Text;
};

// The row of one step. Every step gets exactly one row, a step the suite does
// not write (another type, a state other than press or release) an Unknown
// row with its raw values, so row k always is step k.
TStepRow StepRowOf(const TMACROKEY &step);

// ---- recording -----------------------------------------------------------------

// The option controls as a recording reads them.
struct TMacroRecordOptions {
    bool AutoDelay = true;      // RECORD DELAYS BETWEEN ACTION
    bool CustomDelay = false;   // INSERT DEFAULT DELAY
    int CustomDelayValue = 10;  // its box, 1..65535
    bool Loop = false;          // LOOPS TIMES(1-255)
    int LoopValue = 1;          // its box, 1..255
};

// Whether a recorded key event that came TotalTime ms after the one before
// gets a delay row in front of its own while recording.
bool LiveDelayRowDue(uint32_t totalTime, const TMacroRecordOptions &options, int rowsShown);
// The text of that delay row.
QString LiveDelayText(uint32_t totalTime, const TMacroRecordOptions &options);

// Turns the recorder's items into steps: delays only with AutoDelay (the
// custom value instead of the measured one with CustomDelay; 0 becomes 1),
// key items except a repeat of the key taken before (same code, extended
// flag and state), other items dropped; at most `room` steps (clamped to
// 0..59). The loop count and auto-delay flag of the options come with them.
TMACROKEYINFO ConvertRecording(const TMacroKeyList &items, const TMacroRecordOptions &options, int room);

// The steps of a mouse action (1 left, 2 right, 3 middle button): press, a
// 10 ms delay when withDelay, release. Empty for any other item.
std::vector<TMACROKEY> MouseActionSteps(int item, bool withDelay);

// ---- the manager's state ---------------------------------------------------------

enum class TMacroTool { RecordAfter, Delete, MoveUp, MoveDown, Copy, Cut, Paste };

enum class TMacroEdit {
    Done,
    NoMacro,    // there is no current macro
    Locked,     // a recording runs
    SlotFull,   // the macro would outgrow a slot of the mouse
    Refused,    // the step editor refused (no such step, empty clipboard...)
    CantStand,  // the pasted step left a key pressed, so the repair took it out
                // again; it is still on the clipboard
};

enum class TMacroAdd { Created, Existing, Empty, Full, NoSet, Locked };

class TMacroManagerModel {
public:
    // The database object is the caller's and must outlive the model.
    explicit TMacroManagerModel(TkwMacroSetClass &macroSet);

    // The list object builds no step editor when a set is loaded: the
    // current macro gets one here (or a new one when the editor there is
    // bound to another macro), so its steps can be shown and edited.
    void BindStepEditor();

    TkwMacroSetClass &MacroSet() const { return FMacroSet; }
    TkwMacroClass *Macros() const { return FMacroSet.CurrentMacroClass(); }
    // The current macro's step editor; null without a current macro.
    TkwActionsClass *Steps() const;
    int CurrentMacro() const;
    // The current macro's name, "" when there is none.
    QString CurrentMacroName() const;
    bool CurrentRecord(TMACROKEYINFO &out) const;

    // Copies the working list into the current set.
    bool CopyBack();

    // ---- macro list ----
    TMacroAdd AddMacroByName(const QString &name);
    // Makes macro `index` current; refused while recording.
    bool SelectMacro(int index);
    // Deletes macro `index` (the one selected, whatever its name), then copies
    // back. Refused while recording and for an invalid position.
    bool DeleteMacro(int index);
    // Renames macro `index`; refused while recording, for an empty name and
    // for a name another macro has. Copied back.
    bool RenameMacro(int index, const QString &name);
    bool MoveMacro(int index, bool up);
    // The options of the current macro. The current step stays where it was
    // (the list keeps showing it highlighted); refused while recording.
    bool StoreLoopSettings(bool runWhenPressed, bool loop, int loopValue);
    bool StoreAutoDelay(bool autoDelay);

    // ---- recording ----
    bool Recording() const { return RecordingActive == 1; }
    int Mode() const { return RecordMode; }
    // Steps a recording of the current mode may still add.
    int Room() const;
    // Starts recording in mode 0 (replace), 1 (before) or 2 (after the
    // selected row). NoMacro without a current macro, SlotFull when the macro
    // already fills a slot (modes 1 and 2), Locked while recording.
    TMacroEdit StartRecording(int mode, int selectedRow);
    // Where the next live row goes, by the mode's rule.
    int NextLivePosition();
    // Stores the recording by the mode, repairs and copies back; idle after.
    // Returns the number of steps the recording added (or now holds, mode 0).
    int StopRecording(const TMacroKeyList &items, const TMacroRecordOptions &options);
    // Leaves recording without storing anything (the window is going away
    // and the recorder gave no list).
    void AbandonRecording();

    // ---- steps ----
    void SelectStep(int row);
    // DELETE, MOVE UP/DOWN, COPY, CUT, PASTE on the current step, then the
    // repair and the copy-back. RECORD AFTER is StartRecording(2, ...).
    // The one-step clipboard belongs to the window, not to a macro's step
    // editor: a copied or cut step can be pasted into another macro, and a
    // cut step stays there until it is pasted or another step replaces it.
    // A pasted step the repair takes out again (a key press with no release
    // after it) was not pasted: CantStand, and the clipboard keeps it.
    TMacroEdit ApplyTool(TMacroTool tool);
    bool HasClipboard() const { return FClipboard.has_value(); }
    TMacroEdit InsertMouseAction(int item, bool withDelay);
    // Stores a delay (clamped to 1..65535) into a delay step; the stored
    // value, or -1 when the row is no delay step.
    int SetDelay(int row, int value);

    // Unit-level recording state of the window, kept per window here.
    int RecordingActive = 0;
    int RecordMode = 0;
    int AppendPosition = 0;
    int InsertPosition = 0;
    int InsertAfterPosition = 0;

private:
    // Returns the positions of the steps the repair removed.
    std::vector<int> RepairAndCopyBack();
    int CurrentStep() const;
    void KeepCurrentStep(int step);
    // The position the clipboard step went to, -1 when nothing was pasted.
    int Paste(TkwActionsClass &steps, int at);

    TkwMacroSetClass &FMacroSet;
    std::optional<TMACROKEY> FClipboard;
    bool FClipboardCut = false;
    // The step a recording in mode 1 or 2 goes before or after, fixed when it
    // starts: nothing during the recording moves it.
    int FRecordAnchor = 0;
};
