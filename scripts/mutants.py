#!/usr/bin/env python3
"""Plants known faults in the production code one at a time and reports
whether the test suite catches each.

Each fault is (file, exact original snippet, replacement, what it breaks). The
snippet must occur exactly once in the file; a fault whose snippet is gone
(the code was rewritten) is reported as "gone", never silently skipped. For
each fault the file is changed, the build directory is brought up to date with
ninja (only what depends on the file is rebuilt), CTest runs with a timeout,
and the file is put back byte for byte: also when the build fails, a test
hangs, or the run is interrupted.

    scripts/mutants.py [--build build] [--only ID,...] [--out results.tsv]
                       [--compare earlier.tsv]

--compare names a results file of an earlier run and fails (exit 1) when a
fault caught there is not caught now: "what was caught before is still caught
after". scripts/mutants-baseline.tsv is the last full run's results: compare
against it after changing tests, and write it again (--out) when faults are
added or newly caught. The build directory must be configured and build
cleanly; the suite must pass unchanged before any fault is planted.
"""

import argparse
import os
import re
import signal
import subprocess
import sys
import time

# (id, file, original, replacement, what kind of fault)
FAULTS = [
    # receiver/
    ("rx-int16-max", "receiver/Int16.h",
     "value > std::numeric_limits<int16_t>::max()", "value > 40000",
     "dropped check: a 32-bit value over 16 bits is not refused"),
    ("rx-lastof", "receiver/Int16.h",
     "return static_cast<int16_t>(count - 1);", "return static_cast<int16_t>(count);",
     "off-by-one: loops over a count run one past it"),
    ("rx-noprop", "receiver/Component.cpp",
     "if (at < 0) {", "if (at < -1) {",
     "dropped check: an unknown property is not reported as such"),
    # controls/
    ("ctl-shift-ctrl", "controls/Button.cpp",
     "state |= 2;", "state |= 4;",
     "wrong value: Ctrl reads as Alt in the shift state"),
    ("ctl-list-bound", "controls/ListBox.cpp",
     "if (pos < -1 || pos >= count()) {", "if (pos < -1 || pos > count()) {",
     "off-by-one: a position one past the last item is taken"),
    ("ctl-list-same", "controls/ListBox.cpp",
     "    if (pos == listIndex()) {\n        return;\n    }\n", "",
     "dropped check: selecting the selected item runs its click again"),
    ("ctl-key-backspace", "controls/KeyPreview.cpp",
     "return int16_t{8};", "return int16_t{127};",
     "wrong value: Backspace goes on as DEL"),
    ("ctl-key-multi", "controls/KeyPreview.cpp",
     "if (text.size() > 1) {", "if (text.size() > 2) {",
     "off-by-one: a two-unit commit goes on as one key"),
    # settings/
    ("set-round-half-even", "settings/NumberText.cpp",
     "const double rounded = std::nearbyint(value);", "const double rounded = std::round(value);",
     "wrong rounding: halves away from zero instead of to even"),
    ("set-int32-max", "settings/NumberText.cpp",
     "rounded <= 2147483647.0", "rounded < 2147483647.0",
     "off-by-one: the largest 32-bit value overflows"),
    ("set-inf-overflow", "settings/NumberText.cpp",
     "        if (std::isinf(value)) {\n            throw RuntimeError::overflow",
     "        if (std::isnan(value)) {\n            throw RuntimeError::overflow",
     "wrong error: a too-large number reads as a type mismatch"),
    ("set-choice-enable", "settings/ChoiceList.cpp",
     "    m_list.clearList();\n    m_list.setEnabled(true);\n", "    m_list.clearList();\n",
     "missing call: a choice list is not enabled when loaded"),
    ("set-choice-first-match", "settings/ChoiceList.cpp",
     "/*lastMatchWins*/ true", "/*lastMatchWins*/ false",
     "wrong order: the first mode with the code is selected, not the last"),
    ("set-choice-code16", "settings/ChoiceList.cpp",
     "        code = receiver::toInt16(code);\n", "",
     "dropped check: a code over 16 bits is sent for AGC/NB/ATT"),
    ("set-choice-trim", "settings/ChoiceList.cpp",
     "    true, true, false, false, true};\nconst ChoiceTraits kNBTraits",
     "    false, true, false, false, true};\nconst ChoiceTraits kNBTraits",
     "dropped step: AGC names keep their spaces"),
    ("set-filter-break", "settings/FilterList.cpp",
     "            m_list.setListIndex(j); // runs click() before it returns\n            break;\n",
     "            m_list.setListIndex(j); // runs click() before it returns\n",
     "dropped stop: the last filter with the width is selected, not the first"),
    ("set-filter-field", "settings/FilterList.cpp",
     "QStringLiteral(\"%1 / \").arg(numberText(bandwidth), 6)",
     "QStringLiteral(\"%1 / \").arg(numberText(bandwidth), 5)",
     "wrong value: the width field is five wide"),
    ("set-frq-connected", "settings/FrequencyEntry.cpp",
     "    if (m_host.receiver().RxConnected(index) == 0) {\n        return;\n    }\n", "",
     "dropped check: a frequency of an unconnected receiver is shown"),
    ("set-frq-blank", "settings/FrequencyEntry.cpp",
     "    if (m_freq.text().isEmpty()) {", "    if (m_freq.text().trimmed().isEmpty()) {",
     "wrong check: a text of blanks is skipped instead of refused"),
    ("set-smeter-index", "settings/SignalIndications.cpp",
     "                                      int16_t /*dB*/, const QString& sp) {\n    if (m_host.selectedReceiver() != index) {\n        return;\n    }\n",
     "                                      int16_t /*dB*/, const QString& sp) {\n    (void)index;\n",
     "dropped check: another receiver's S-meter is shown"),
    # window/
    ("win-refresh-order", "window/Selection.cpp",
     "    LoadFilterList(receiver().RxFlt(CurRx));\n    LoadAgcList(receiver().RxAgc(CurRx));\n",
     "    LoadAgcList(receiver().RxAgc(CurRx));\n    LoadFilterList(receiver().RxFlt(CurRx));\n",
     "wrong order: AGC before filter when a receiver is shown"),
    ("win-frq-swap", "window/Selection.cpp",
     "FrqMax->setText(numberText(receiver().RxFrqMax(CurRx)));",
     "FrqMax->setText(numberText(receiver().RxFrqMin(CurRx)));",
     "wrong value: FrqMax shows the lower limit"),
    ("win-remote-green", "window/Selection.cpp",
     "    if (receiver().RxIsRemote(CurRx) != 0) {\n        showConnState(kGreen);",
     "    if (receiver().RxIsRemote(CurRx) != 0 && false) {\n        showConnState(kGreen);",
     "dropped branch: remote control never shows green"),
    ("win-disconnect-refresh", "window/Connection.cpp",
     "    receiver().RxConnect(CurRx, kFalse);\n    RefreshStatus();\n",
     "    receiver().RxConnect(CurRx, kFalse);\n",
     "missing call: Disconnect does not redraw the state"),
    ("win-connstate-err", "window/Connection.cpp",
     "    if (Err == receiver::linkChanged) {", "    if (Err != 0) {",
     "wrong check: a link error redraws instead of showing red"),
    ("win-coupling-value", "window/Connection.cpp",
     "Coupling->isChecked() ? 1 : 0;", "Coupling->isChecked() ? -1 : 0;",
     "wrong value: coupling is switched on with -1"),
    ("win-config-shift", "window/StartUp.cpp",
     "    if (ConfigShift == 1) {", "    if ((ConfigShift & 1) != 0) {",
     "wrong check: Shift with Ctrl configures instead of opening the dialog"),
    ("win-drvupdated-clear", "window/StartUp.cpp",
     "    Driver->clearList();\n    fillDriverList();\n", "    fillDriverList();\n",
     "missing call: an updated table is appended to the old list"),
    ("win-load-empty", "window/StartUp.cpp",
     "    receiver().DrvSetup(kApplication, 0);\n    if (receiver().DrvCount() == 0) {",
     "    receiver().DrvSetup(kApplication, 0);\n    if (receiver().DrvCount() < 0) {",
     "dropped check: an empty table does not end the program"),
    # component/core
    ("core-index-bound", "component/core/CorvaneComponent.cpp",
     "    if (index < 0 || static_cast<size_t>(index) >= m_slots.size()) {\n        throw",
     "    if (index < 0 || static_cast<size_t>(index) > m_slots.size()) {\n        throw",
     "off-by-one: the receiver one past the table is looked up"),
    ("core-vfo", "component/core/CorvaneComponent.cpp",
     "    if (vfo != 0) {", "    if (vfo > 0) {",
     "dropped check: a negative VFO is accepted"),
    ("core-entry-bound", "component/core/CorvaneComponent.cpp",
     "    const int32_t n = rx.count(setting);\n    if (i < 0 || i >= n) {",
     "    const int32_t n = rx.count(setting);\n    if (i < 0 || i > n) {",
     "off-by-one: the entry one past a table is read"),
    ("core-connected-true", "component/core/CorvaneComponent.cpp",
     "backendAt(index, \"RxConnected\").connected() ? receiver::comTrue : 0;",
     "backendAt(index, \"RxConnected\").connected() ? 1 : 0;",
     "wrong value: connected answers 1 instead of True (-1)"),
    ("core-app-slash", "component/core/ComponentTable.cpp",
     " && !application.contains(u'/') &&", " &&",
     "dropped check: an application name with a slash reaches outside the config folder"),
    ("core-save", "component/core/ComponentTable.cpp",
     "    m_store->save(edited);\n", "",
     "missing call: an edited driver table is not saved"),
    ("core-rename-keeps", "component/core/ComponentTable.cpp",
     "    entry.remove(QStringLiteral(\"name\"));\n", "",
     "dropped step: a renamed receiver is built afresh and loses its link"),
    # component/sim
    ("smeter-units", "component/api/SMeter.h",
     "(below + dbPerSUnit - 1) / dbPerSUnit", "below / dbPerSUnit",
     "wrong rounding: S units round down instead of up"),
    ("sim-frq-max", "component/sim/SimReceiver.cpp",
     "hz < m_profile.frqMin || hz > m_profile.frqMax", "hz < m_profile.frqMin || hz >= m_profile.frqMax",
     "off-by-one: the highest frequency is refused"),
    ("sim-remote-unconnected", "component/sim/SimReceiver.cpp",
     "    if (on && !m_connected) {\n        return 1;", "    if (false) {\n        return 1;",
     "dropped check: remote control without a link"),
    ("sim-filter-fallback", "component/sim/SimReceiver.cpp",
     "m_filter = filters.front().width;", "m_filter = filters.back().width;",
     "wrong value: a mode change falls back to the last filter"),
    ("sim-drop-remote", "component/sim/SimReceiver.cpp",
     "    m_connected = false;\n    m_remote = false;\n", "    m_connected = false;\n",
     "missing step: a dropped link stays under remote control"),
    ("sim-carrier", "component/sim/SimReceiver.cpp",
     "static_cast<int64_t>(m_freq) + m_deltaF;", "static_cast<int64_t>(m_freq) - m_deltaF;",
     "wrong sign: the carrier moves against delta-F"),
    ("sim-clock-order", "component/sim/Clock.cpp",
     "it->second.due < next->second.due", "it->second.due <= next->second.due",
     "wrong order: timers due together fire last-started first"),
    # component/hamlib
    ("hl-port-max", "component/hamlib/HamlibEntryReader.cpp",
     "*number > 65535", "*number > 65536",
     "off-by-one: port 65536 is taken"),
    ("hl-port-default", "component/hamlib/HamlibEntryReader.cpp",
     "port.isUndefined() ? 4532 :", "port.isUndefined() ? 4533 :",
     "wrong value: rigctld's default port"),
    ("hl-model-zero", "component/hamlib/HamlibEntryReader.cpp",
     "if (!model || *model <= 0) {", "if (!model || *model < 0) {",
     "dropped check: model 0 is taken"),
    ("hl-conf-object", "component/hamlib/HamlibEntryReader.cpp",
     "if (!extra.isUndefined() && !extra.isObject()) {", "if (false) {",
     "dropped check: a conf that is not an object is ignored"),
    # hamlibplugin/
    ("map-filter-sort", "hamlibplugin/HamlibMapping.cpp",
     "    std::sort(widths.begin(), widths.end());\n", "",
     "missing call: filters keep Hamlib's order, not narrowest first"),
    ("map-agc-dedupe", "hamlibplugin/HamlibMapping.cpp",
     "if (from[i] == RIG_AGC_NONE || RigTables::indexOf(out, code) >= 0) {",
     "if (from[i] == RIG_AGC_NONE) {",
     "dropped check: an AGC level listed twice is offered twice"),
    ("saturate-round", "receiver/Saturate.h",
     "const U rounded = std::round(value);", "const U rounded = std::trunc(value);",
     "wrong rounding: Hamlib frequencies are truncated"),
    ("map-link-timeout", "hamlibplugin/HamlibMapping.cpp",
     " || e == RIG_ETIMEOUT;", ";",
     "dropped check: a timeout is not a link error"),
    # hamlibplugin/ worker and backend
    ("hw-monitored-set", "hamlibplugin/HamlibBackend.cpp",
     "if (!remote()) {\n        return; // a monitored radio is never written",
     "if (false) {\n        return; // a monitored radio is never written",
     "dropped check: a setting of a monitored rig is checked and passed on"),
    ("hw-refused-unchecked", "hamlibplugin/HamlibWorker.cpp",
     "if (m_writeError != 0 || (m_wrote && !holds(kind, write))) {", "if (m_writeError != 0) {",
     "dropped check: a write the rig silently refused is reported as done"),
    ("hw-refused-asked", "hamlibplugin/HamlibBackend.cpp",
     "if (!note.reread || !m_connected) {", "if (true) {",
     "missing step: a refused write leaves the value asked for shown"),
    ("hw-later-kept", "hamlibplugin/HamlibWorker.cpp",
     "m_pending[kind] = write;", "m_pending.emplace(kind, write);",
     "wrong order: a later set does not replace one not yet sent"),
    ("hw-loss-unsaid", "hamlibplugin/HamlibWorker.cpp",
     "    say(Note::lost(err));\n",
     "    static_cast<void>(err);\n",
     "missing call: a lost link is not reported"),
    ("hw-remote-regained", "hamlibplugin/HamlibBackend.cpp",
     "m_worker->setWritable(m_wantRemote);", "m_worker->setWritable(false);",
     "wrong value: remote control is not taken back when a lost link returns"),
]

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def run(cmd, timeout):
    """Runs cmd in its own process group; kills the whole group on timeout."""
    proc = subprocess.Popen(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            start_new_session=True)
    try:
        out, _ = proc.communicate(timeout=timeout)
        return proc.returncode, out.decode(errors="replace")
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        out, _ = proc.communicate()
        return None, out.decode(errors="replace")
    except BaseException:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
        raise


def build(args):
    return run(["nice", "ninja", "-C", args.build, "-j2"], args.build_timeout)


def tests(args):
    env_cmd = ["env", "QT_QPA_PLATFORM=offscreen", "ctest", "--test-dir", args.build, "-j2",
               "--timeout", str(args.test_timeout), "--stop-on-failure"]
    return run(env_cmd, args.suite_timeout)


def failed_tests(out):
    """The tests CTest lists as failed, so a run shows which test caught a
    fault (and a catch by an unrelated timing test stands out)."""
    names = re.findall(r"^\s*\d+ - (\S+) \((?:Failed|Timeout|SEGFAULT|Subprocess aborted|"
                       r"Exception|Child aborted|ILLEGAL|BUS|NUMERICAL|OTHER_FAULT)",
                       out, re.MULTILINE)
    return ",".join(names) if names else "(build or suite ended)"


def plant(fault):
    """Returns the file's original bytes after writing the fault, or None when
    the snippet is not there exactly once."""
    _, path, original, replacement, _ = fault
    full = os.path.join(ROOT, path)
    if not os.path.exists(full):
        return None
    with open(full, "rb") as f:
        before = f.read()
    text = before.decode()
    if text.count(original) != 1:
        return None
    with open(full, "wb") as f:
        f.write(text.replace(original, replacement).encode())
    return before


def restore(path, before):
    with open(os.path.join(ROOT, path), "wb") as f:
        f.write(before)


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--build", default="build")
    p.add_argument("--only", default="", help="comma-separated fault ids")
    p.add_argument("--out", default="", help="write id<TAB>result<TAB>failed tests lines here")
    p.add_argument("--compare", default="", help="results of an earlier run")
    p.add_argument("--build-timeout", type=int, default=900)
    p.add_argument("--test-timeout", type=int, default=60)
    p.add_argument("--suite-timeout", type=int, default=300)
    p.add_argument("--list", action="store_true", help="print the faults and stop")
    args = p.parse_args()

    faults = FAULTS
    if args.only:
        wanted = set(args.only.split(","))
        faults = [f for f in FAULTS if f[0] in wanted]
    if args.list:
        for fid, path, _, _, what in faults:
            print(f"{fid:24} {path:40} {what}")
        return 0

    # SIGTERM and SIGHUP end the run like Ctrl-C does, through the finally below.
    def interrupted(signum, _frame):
        raise KeyboardInterrupt(f"signal {signum}")
    signal.signal(signal.SIGTERM, interrupted)
    signal.signal(signal.SIGHUP, interrupted)

    rc, out = build(args)
    if rc != 0:
        print(out[-4000:])
        print("the unchanged tree does not build")
        return 2
    rc, out = tests(args)
    if rc != 0:
        print(out[-4000:])
        print("the unchanged tree does not pass its tests")
        return 2

    results = []
    for fault in faults:
        fid, path = fault[0], fault[1]
        start = time.monotonic()
        by = ""
        before = plant(fault)
        if before is None:
            result = "gone"
        else:
            try:
                rc, out = build(args)
                if rc != 0:
                    result = "no-build"
                else:
                    rc, out = tests(args)
                    result = "caught" if rc != 0 else "MISSED"
                    if rc != 0:
                        by = failed_tests(out)
            finally:
                restore(path, before)
        secs = time.monotonic() - start
        results.append((fault, result, by))
        print(f"{fid:24} {result:8} {secs:5.0f}s  {path}  {by}", flush=True)

    # Leave the build matching the sources again.
    build(args)

    print()
    print(f"{'fault':24} {'result':8} {'file':40} what it breaks")
    for (fid, path, _, _, what), result, _ in results:
        print(f"{fid:24} {result:8} {path:40} {what}")
    caught = sum(1 for _, r, _ in results if r == "caught")
    missed = sum(1 for _, r, _ in results if r == "MISSED")
    other = len(results) - caught - missed
    tail = f", {other} not run (gone or not building)" if other else ""
    print(f"\n{caught} caught, {missed} missed{tail}")

    if args.out:
        with open(args.out, "w") as f:
            for fault, result, by in results:
                f.write(f"{fault[0]}\t{result}\t{by}\n")

    if args.compare:
        earlier = {}
        with open(args.compare) as f:
            for line in f:
                fid, result = line.rstrip("\n").split("\t")[:2]
                earlier[fid] = result
        lost = [fault[0] for fault, r, _ in results
                if earlier.get(fault[0]) == "caught" and r != "caught"]
        if lost:
            print("caught before, not now: " + ", ".join(lost))
            return 1
        print(f"every fault caught in {args.compare} is still caught")
    return 0 if missed == 0 and other == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
