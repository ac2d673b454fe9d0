#include "config/app/MacroManagerModel.h"

#include "config/ui/kwTranslateHook.h"
#include "core/kwKeyCode.h"

#include <algorithm>

namespace {

int StepValue(const TMACROKEY &s)
{
    return s.VALUE1 + 256 * s.VALUE2;
}

TMACROKEY Step(uint16_t type, uint16_t state, int value1, int value2)
{
    TMACROKEY s{};
    s.nKeyType = type;
    s.nKeyState = state;
    s.VALUE1 = static_cast<uint8_t>(value1 & 0xFF);
    s.VALUE2 = static_cast<uint8_t>(value2 & 0xFF);
    return s;
}

TMACROKEY DelayStep(uint16_t state, int ms)
{
    ms = std::clamp(ms, 1, 65535);
    return Step(MACRO_STEP_DELAY, state, ms & 0xFF, ms >> 8);
}

} // namespace

TStepRow StepRowOf(const TMACROKEY &step)
{
    const bool press = step.nKeyState == 1;
    const bool release = step.nKeyState == 0;
    if (step.nKeyType == MACRO_STEP_DELAY)
        return {TStepRowKind::Delay, QString::number(StepValue(step))};
    if (step.nKeyType == MACRO_STEP_KEY && (press || release))
        return {press ? TStepRowKind::KeyDown : TStepRowKind::KeyUp,
                QStringLiteral(" ") + GetKeyDescriptionByVK(step.VALUE1, step.VALUE2)};
    if (step.nKeyType == MACRO_STEP_MOUSE_BUTTON && (press || release))
        return {press ? TStepRowKind::MouseDown : TStepRowKind::MouseUp,
                QStringLiteral(" ") + hkt::skin::TranslateText(GetKeyDescriptionByVK(step.VALUE1, 0))};
    // A step the suite never writes (from a crafted or damaged file) still
    // has its row, showing its raw values, so rows and steps stay paired.
    return {TStepRowKind::Unknown, QStringLiteral(" ? %1 %2 %3 %4")
                                       .arg(step.nKeyType)
                                       .arg(step.nKeyState)
                                       .arg(step.VALUE1)
                                       .arg(step.VALUE2)};
}

bool LiveDelayRowDue(uint32_t totalTime, const TMacroRecordOptions &options, int rowsShown)
{
    return (totalTime > 0 || options.CustomDelay) && totalTime < MACRO_LIVE_DELAY_LIMIT_MS && rowsShown >= 1 &&
           options.AutoDelay;
}

QString LiveDelayText(uint32_t totalTime, const TMacroRecordOptions &options)
{
    return QString::number(options.CustomDelay ? options.CustomDelayValue : static_cast<qint64>(totalTime));
}

TMACROKEYINFO ConvertRecording(const TMacroKeyList &items, const TMacroRecordOptions &options, int room)
{
    room = std::clamp(room, 0, MACRO_DEVICE_STEP_LIMIT);
    TMACROKEYINFO rec{};
    rec.nLoopCount = options.Loop && options.LoopValue > 0 ? static_cast<uint16_t>(std::min(options.LoopValue, 255)) : 0;
    rec.nAutoAddDelay = options.AutoDelay ? 1 : 0;
    int prevKey = 0, prevExtended = 0, prevState = -1;
    int n = 0;
    for (int i = 0; i < items.Count() && n < room; ++i) {
        const TMacroKeyObject *o = items.Objects(i);
        if (!o)
            continue;
        const TMACROKEYHOOK &k = o->FMacroKey;
        if (k.nKeyType == 0) {
            if (!options.AutoDelay)
                continue;
            const int ms = options.CustomDelay ? options.CustomDelayValue : k.nKeyValue;
            rec.MacroList[n++] = DelayStep(k.nKeyState, ms);
        } else if (k.nKeyType == 1) {
            if (k.nKeyValue == prevKey && k.nKeyValueExtended == prevExtended && k.nKeyState == prevState)
                continue;
            rec.MacroList[n++] = Step(MACRO_STEP_KEY, k.nKeyState, k.nKeyValue, k.nKeyValueExtended);
            prevKey = k.nKeyValue;
            prevExtended = k.nKeyValueExtended;
            prevState = k.nKeyState;
        }
    }
    rec.MacroListCount = n;
    return rec;
}

std::vector<TMACROKEY> MouseActionSteps(int item, bool withDelay)
{
    static constexpr int kBits[] = {1, 2, 4};
    if (item < 1 || item > 3)
        return {};
    const int bits = kBits[item - 1];
    std::vector<TMACROKEY> steps{Step(MACRO_STEP_MOUSE_BUTTON, 1, bits, 0)};
    if (withDelay)
        steps.push_back(DelayStep(0, 10));
    steps.push_back(Step(MACRO_STEP_MOUSE_BUTTON, 0, bits, 0));
    return steps;
}

// ---- the manager's state -------------------------------------------------------------

TMacroManagerModel::TMacroManagerModel(TkwMacroSetClass &macroSet) : FMacroSet(macroSet)
{
    BindStepEditor();
}

void TMacroManagerModel::BindStepEditor()
{
    const int index = CurrentMacro();
    if (index < 0)
        return;
    const TkwActionsClass *steps = Macros()->CurrentMacroAction();
    if (!steps || steps->MacroIndex() != index)
        Macros()->SetMacroListIndex(index);
}

TkwActionsClass *TMacroManagerModel::Steps() const
{
    return CurrentMacro() >= 0 ? Macros()->CurrentMacroAction() : nullptr;
}

int TMacroManagerModel::CurrentMacro() const
{
    const TkwMacroClass *m = Macros();
    if (!m || m->MacroListIndex() < 0 || m->MacroListIndex() >= m->MacroListCount())
        return -1;
    return m->MacroListIndex();
}

bool TMacroManagerModel::CurrentRecord(TMACROKEYINFO &out) const
{
    return CurrentMacro() >= 0 && Macros()->GetCurrentMacroKeyItem(out);
}

QString TMacroManagerModel::CurrentMacroName() const
{
    TMACROKEYINFO rec;
    return CurrentRecord(rec) ? MacroNameText(rec) : QString();
}

bool TMacroManagerModel::CopyBack()
{
    return FMacroSet.SaveBackCurrentMacroClassDataToCurrentMacroList();
}

std::vector<int> TMacroManagerModel::RepairAndCopyBack()
{
    std::vector<int> removed;
    if (TkwActionsClass *steps = Steps()) {
        const int current = steps->ActionIndex();
        steps->CheckErrors();
        removed = steps->RemoveErrors();
        // The step that was current stays current (the one after it when it
        // went), and it stays a step of the macro (or none in an empty one).
        const auto before = std::lower_bound(removed.begin(), removed.end(), current) - removed.begin();
        steps->SetActionIndex(std::min(current - static_cast<int>(before), steps->GetCount() - 1));
    }
    CopyBack();
    return removed;
}

TMacroAdd TMacroManagerModel::AddMacroByName(const QString &name)
{
    if (Recording())
        return TMacroAdd::Locked;
    if (name.isEmpty())
        return TMacroAdd::Empty;
    if (!Macros())
        return TMacroAdd::NoSet;
    const int existing = Macros()->IndexOfMacroName(name);
    if (existing >= 0) {
        SelectMacro(existing);
        return TMacroAdd::Existing;
    }
    if (Macros()->IsFull())
        return TMacroAdd::Full;
    if (FMacroSet.CreateNewMacro(name) != 1)
        return TMacroAdd::NoSet;
    CopyBack();
    return TMacroAdd::Created;
}

bool TMacroManagerModel::SelectMacro(int index)
{
    if (Recording() || !Macros() || index < 0 || index >= Macros()->MacroListCount())
        return false;
    Macros()->SetMacroListIndex(index);
    return true;
}

bool TMacroManagerModel::DeleteMacro(int index)
{
    if (Recording() || !Macros() || index < 0 || index >= Macros()->MacroListCount())
        return false;
    const bool done = FMacroSet.DeleteMacro(index);
    CopyBack();
    return done;
}

bool TMacroManagerModel::RenameMacro(int index, const QString &name)
{
    if (Recording() || !Macros() || name.isEmpty())
        return false;
    const bool done = Macros()->ReNameMacro(name, index);
    CopyBack();
    return done;
}

bool TMacroManagerModel::MoveMacro(int index, bool up)
{
    if (Recording() || !Macros())
        return false;
    const bool done = up ? Macros()->MoveUpMacro(index) : Macros()->MoveDownMacro(index);
    CopyBack();
    return done;
}

int TMacroManagerModel::CurrentStep() const
{
    const TkwActionsClass *steps = Steps();
    return steps ? steps->ActionIndex() : -1;
}

// Storing an option builds the step editor anew, at its first step: the step
// that was current (and that the list highlights) is made current again.
void TMacroManagerModel::KeepCurrentStep(int step)
{
    if (TkwActionsClass *steps = Steps())
        steps->SetActionIndex(step);
}

bool TMacroManagerModel::StoreLoopSettings(bool runWhenPressed, bool loop, int loopValue)
{
    const int index = CurrentMacro();
    if (index < 0 || Recording())
        return false;
    const int step = CurrentStep();
    const bool done = Macros()->SetMacroLoopValue(index, runWhenPressed ? 1 : 0, loop ? loopValue : 0);
    KeepCurrentStep(step);
    CopyBack();
    return done;
}

bool TMacroManagerModel::StoreAutoDelay(bool autoDelay)
{
    const int index = CurrentMacro();
    if (index < 0 || Recording())
        return false;
    const int step = CurrentStep();
    const bool done = Macros()->SetMacroAutoDelay(index, autoDelay ? 1 : 0);
    KeepCurrentStep(step);
    CopyBack();
    return done;
}

int TMacroManagerModel::Room() const
{
    const TkwActionsClass *steps = Steps();
    if (RecordMode == 0 || !steps)
        return MACRO_DEVICE_STEP_LIMIT;
    return std::max(0, MACRO_DEVICE_STEP_LIMIT - steps->GetCount());
}

TMacroEdit TMacroManagerModel::StartRecording(int mode, int selectedRow)
{
    if (Recording())
        return TMacroEdit::Locked;
    if (mode < 0 || mode > 2)
        return TMacroEdit::Refused;
    if (!Steps())
        return TMacroEdit::NoMacro;
    if (mode != 0 && Steps()->GetCount() >= MACRO_DEVICE_STEP_LIMIT)
        return TMacroEdit::SlotFull;
    RecordMode = mode;
    FRecordAnchor = mode == 0 ? 0 : selectedRow;
    AppendPosition = 0;
    InsertPosition = mode == 0 ? 0 : selectedRow;
    InsertAfterPosition = mode == 0 ? 0 : selectedRow;
    RecordingActive = 1;
    return TMacroEdit::Done;
}

int TMacroManagerModel::NextLivePosition()
{
    switch (RecordMode) {
    case 1:
        return InsertPosition++;
    case 2:
        return ++InsertAfterPosition;
    default:
        return AppendPosition++;
    }
}

void TMacroManagerModel::AbandonRecording()
{
    RecordingActive = 0;
    AppendPosition = InsertPosition = InsertAfterPosition = 0;
}

int TMacroManagerModel::StopRecording(const TMacroKeyList &items, const TMacroRecordOptions &options)
{
    if (!Recording())
        return 0;
    const int room = Room();
    const int mode = RecordMode;
    AbandonRecording();
    TMACROKEYINFO rec;
    TkwActionsClass *steps = Steps();
    if (!steps || !CurrentRecord(rec))
        return 0;
    const TMACROKEYINFO recorded = ConvertRecording(items, options, room);
    std::copy_n(recorded.MacroList, recorded.MacroListCount, rec.MacroList);
    rec.MacroListCount = recorded.MacroListCount;
    rec.nLoopCount = recorded.nLoopCount;
    rec.nAutoAddDelay = recorded.nAutoAddDelay;
    // The recording goes where it was started, kept to a step of the macro.
    const int count = steps->GetCount();
    const int p = count == 0 ? 0 : std::clamp(FRecordAnchor, 0, count - 1);
    if (mode == 0)
        steps->SetMacroKeyInfo(rec);
    else if (mode == 1)
        Macros()->InsertMacro(rec, p);
    else
        Macros()->InsertMacroAfter(rec, p);
    RepairAndCopyBack();
    return recorded.MacroListCount;
}

void TMacroManagerModel::SelectStep(int row)
{
    InsertPosition = row;
    InsertAfterPosition = row;
    if (TkwActionsClass *steps = Steps())
        steps->SetActionIndex(row);
}

TMacroEdit TMacroManagerModel::ApplyTool(TMacroTool tool)
{
    if (Recording())
        return TMacroEdit::Locked;
    TkwActionsClass *steps = Steps();
    if (!steps)
        return TMacroEdit::NoMacro;
    const int i = steps->ActionIndex();
    bool done = false;
    int pastedAt = -1;
    const std::optional<TMACROKEY> clipboard = FClipboard;
    const bool clipboardCut = FClipboardCut;
    switch (tool) {
    case TMacroTool::RecordAfter:
        return StartRecording(2, i);
    case TMacroTool::Delete:
        done = steps->DeleteAction(i);
        break;
    case TMacroTool::MoveUp:
        done = steps->MoveUpAction(i);
        break;
    case TMacroTool::MoveDown:
        done = steps->MoveDownAction(i);
        break;
    case TMacroTool::Copy:
    case TMacroTool::Cut:
        if (i < 0 || i >= steps->GetCount())
            break;
        FClipboard = steps->Actions()[static_cast<size_t>(i)];
        FClipboardCut = tool == TMacroTool::Cut;
        done = !FClipboardCut || steps->DeleteAction(i);
        break;
    case TMacroTool::Paste:
        // A slot of the mouse holds 59 steps: a longer macro would be cut
        // when it is written to the mouse, so the paste is refused here.
        if (FClipboard && steps->GetCount() >= MACRO_DEVICE_STEP_LIMIT)
            return TMacroEdit::SlotFull;
        pastedAt = Paste(*steps, i);
        done = pastedAt >= 0;
        break;
    }
    const std::vector<int> removed = RepairAndCopyBack();
    if (pastedAt >= 0 && std::binary_search(removed.begin(), removed.end(), pastedAt)) {
        // Nothing of the paste is left in the macro: the step is not lost.
        FClipboard = clipboard;
        FClipboardCut = clipboardCut;
        return TMacroEdit::CantStand;
    }
    return done ? TMacroEdit::Done : TMacroEdit::Refused;
}

// The step goes before the current one; into an empty macro as its only
// step. A cut step leaves the clipboard once it is in a macro, a copied one
// can be pasted again.
int TMacroManagerModel::Paste(TkwActionsClass &steps, int at)
{
    if (!FClipboard)
        return -1;
    const int position = steps.GetCount() == 0 ? 0 : std::clamp(at, 0, steps.GetCount() - 1);
    const bool inserted = steps.GetCount() == 0 ? steps.InsertActionAfter(*FClipboard, 0)
                                                : steps.InsertAction(*FClipboard, position);
    if (!inserted)
        return -1;
    if (FClipboardCut) {
        FClipboard.reset();
        FClipboardCut = false;
    }
    return position;
}

TMacroEdit TMacroManagerModel::InsertMouseAction(int item, bool withDelay)
{
    if (Recording())
        return TMacroEdit::Locked;
    const std::vector<TMACROKEY> add = MouseActionSteps(item, withDelay);
    if (add.empty())
        return TMacroEdit::Refused;
    TkwActionsClass *steps = Steps();
    if (!steps)
        return TMacroEdit::NoMacro;
    const int count = steps->GetCount();
    if (count + static_cast<int>(add.size()) > MACRO_DEVICE_STEP_LIMIT)
        return TMacroEdit::SlotFull;
    int p = count > 0 && steps->ActionIndex() >= 0 ? std::min(steps->ActionIndex(), count - 1) : 0;
    for (const TMACROKEY &s : add) {
        steps->InsertActionAfter(s, p);
        p = steps->ActionIndex();
    }
    RepairAndCopyBack();
    return TMacroEdit::Done;
}

int TMacroManagerModel::SetDelay(int row, int value)
{
    TkwActionsClass *steps = Steps();
    if (Recording() || !steps || row < 0 || row >= steps->GetCount() ||
        steps->Actions()[static_cast<size_t>(row)].nKeyType != MACRO_STEP_DELAY)
        return -1;
    steps->SetDelayValue(row, std::clamp(value, 1, 65535));
    CopyBack();
    return steps->GetDelayValue(row);
}
