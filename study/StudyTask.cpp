#include "StudyTask.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "AtomicFile.h"
#include "PosixProcessRunner.h"
#include "ProjectFormat.h"
#include "ResultFiles.h"
#include "SolverOutcome.h"
#include "SolverRun.h"
#include "StudyPlan.h"
#include "WaveFieldRun.h"
#include "WorkingDirectory.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxResultFileSize = 256u << 20;
// A solver that refuses an option exits with this status and writes nothing: one that does not
// know the receiver list, or one given more values than it takes in a run.
constexpr int kUnknownOptionExit = 2;

bool ReadText(const fs::path& path, std::string& text, std::size_t limit = kMaxResultFileSize) {
    std::string reason;
    return ReadRegularFile(path.string(), limit, text, reason) == ReadFileOutcome::Read;
}

std::string ScratchName(const std::string& taskDir) {
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    return taskDir + ".run-" + host + "-" + std::to_string(::getpid());
}

ProcessOutcome RunSolver(const StudyManifest& m, const fs::path& dir, const std::vector<std::string>& args,
                         const TaskHooks& hooks, double from, double span) {
    CPosixProcessRunner runner(
        [&](const std::string& line) {
            if (const auto percent = ParseProgressPercent(line); percent && hooks.progress)
                hooks.progress(from + span * *percent / 100.0);
        },
        hooks.cancel);
    ProcessRequest request;
    request.program = m.solver;
    request.arguments = args;
    request.workingDirectory = dir.string();
    return runner.Run(request);
}

std::vector<std::string> CommonArgs(const StudyManifest& m) {
    std::vector<std::string> args;
    if (m.points > 0)
        args.insert(args.end(), {"--points", std::to_string(m.points)});
    args.insert(args.end(), {"--threads", std::to_string(m.threads)});
    for (std::string& a : ElementOrderArguments(m.order))
        args.push_back(std::move(a));
    return args;
}

// "x" lines for a line load, "x y" lines for a point source.
std::string ReceiverList(const StudyManifest& m, const StudyTask& t) {
    std::string receivers;
    for (int i = 0; i < t.receiverCount; ++i) {
        const auto at = static_cast<std::size_t>(t.firstReceiver + i);
        // The precision of the input's own receiving point, so a list and one run per point agree.
        receivers += FormatFixed(m.receivers[at], 4);
        if (m.pointSource)
            receivers += " " + FormatFixed(m.receiversY[at], 4);
        receivers += "\n";
    }
    return receivers;
}

// Empty when the run ended well; else why not, on one line ("cancelled" for a cancelled run).
std::string RunProblem(const StudyManifest& m, const ProcessOutcome& outcome) {
    return SolverOutcomeMessage(outcome, CSolverJob{m.solver, {}, "cancelled", {}, CSolverJob::Output::OneLine});
}

// Solves the block's receivers one run each, rewriting the receiving point of the input.
std::string RunEachReceiver(const StudyManifest& m, const StudyTask& t, const fs::path& scratch,
                            const std::string& input, const TaskHooks& hooks) {
    for (int i = 0; i < t.receiverCount; ++i) {
        const double x = m.receivers[static_cast<std::size_t>(t.firstReceiver + i)];
        std::string error;
        if (!WriteFileAtomically((scratch / m.inputName).string(), WithReceiver(input, x), &error))
            return error;
        const ProcessOutcome run =
            RunSolver(m, scratch, CommonArgs(m), hooks, static_cast<double>(i) / t.receiverCount, 1.0 / t.receiverCount);
        if (std::string p = RunProblem(m, run); !p.empty())
            return p;
        std::error_code ec;
        fs::rename(scratch / m.resultName, scratch / NumberedResultName(m.resultStem, i + 1), ec);
        if (ec)
            return m.solver + " wrote no result " + m.resultName + " for x = " + FormatFixed(x, 4);
    }
    return {};
}

// The field of a case: its own input (the field's direction, component and window), the
// settings' rectangle and times, into kWaveFieldFile in the scratch directory.
std::string RunField(const StudyManifest& m, const fs::path& caseDir, const fs::path& scratch, const TaskHooks& hooks) {
    std::string error;
    if (!CopyFileAtomically((caseDir / FieldInputName(m)).string(), (scratch / m.inputName).string(), &error))
        return error;
    std::vector<std::string> args = WaveFieldArguments(m.field, kWaveFieldFile, m.order);
    args.insert(args.end(), {"--threads", std::to_string(m.threads)});
    return RunProblem(m, RunSolver(m, scratch, args, hooks, 0, 1));
}

std::string RunTask(const StudyManifest& m, const StudyTask& t, const fs::path& scratch, const TaskHooks& hooks) {
    const fs::path caseDir = fs::path(m.studyDir) / m.cases[static_cast<std::size_t>(t.caseIndex)].dir;
    std::string input, error;
    if (!ReadText(caseDir / m.inputName, input, numerics::kMaxInputBytes))
        return (caseDir / m.inputName).string() + ": the case's input cannot be read";
    std::error_code ec;
    if (fs::symlink_status(caseDir / "ft.dat", ec).type() != fs::file_type::not_found && !CopyFileAtomically((caseDir / "ft.dat").string(),
                                                                   (scratch / "ft.dat").string(), &error))
        return error;
    if (t.field)
        return RunField(m, caseDir, scratch, hooks);
    if (!WriteFileAtomically((scratch / "receivers.txt").string(), ReceiverList(m, t), &error))
        return error;
    if (m.pointSource) {
        // Every receiver of a point source, the project's own too, comes from the list: a solver
        // that takes no point source has no other way to run it.
        if (!WriteFileAtomically((scratch / m.inputName).string(), input, &error))
            return error;
        std::vector<std::string> args = CommonArgs(m);
        args.insert(args.end(), {"--point-source", "--receivers-xy", "receivers.txt"});
        return RunProblem(m, RunSolver(m, scratch, args, hooks, 0, 1));
    }
    if (!m.receiverSweep)
        return RunEachReceiver(m, t, scratch, input, hooks);
    if (!WriteFileAtomically((scratch / m.inputName).string(), input, &error))
        return error;
    std::vector<std::string> args = CommonArgs(m);
    args.insert(args.end(), {"--receivers", "receivers.txt"});
    const ProcessOutcome run = RunSolver(m, scratch, args, hooks, 0, 1);
    // A solver that takes one receiving point (or not this many): one run per receiver instead.
    if (run.status == ProcessOutcome::Status::Finished && run.exitCode == kUnknownOptionExit &&
        !fs::exists(scratch / NumberedResultName(m.resultStem, 1), ec))
        return RunEachReceiver(m, t, scratch, input, hooks);
    return RunProblem(m, run);
}

void FlushToDisk(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

void WriteFailure(const StudyManifest& m, int task, const std::string& reason) {
    std::string ignored;
    WriteFileAtomically(TaskFailedMarker(m, task), reason + "\n", &ignored);
}

}  // namespace

std::string CheckResultFile(const std::string& path) {
    const std::string name = fs::path(path).filename().string();
    std::string text, reason;
    switch (ReadRegularFile(path, kMaxResultFileSize, text, reason)) {
    case ReadFileOutcome::Read: break;
    case ReadFileOutcome::TooLarge: return name + " is too large";
    case ReadFileOutcome::NotRegular: return name + ": " + reason;
    case ReadFileOutcome::CannotOpen:
        return reason == std::strerror(ENOENT) ? name + " is missing" : name + " cannot be read: " + reason;
    }
    const CResultText parsed = ParseResultText(text);
    if (parsed.head != CResultText::Head::Ok || parsed.announced < 1)
        return name + " has no usable head";
    if (static_cast<int>(parsed.points.size()) != parsed.announced)
        return name + " holds " + std::to_string(parsed.points.size()) + " finite points of the " +
               std::to_string(parsed.announced) + " it announces";
    return {};
}

std::string CheckFieldFile(const StudyManifest& m, const std::string& path) {
    const std::string name = fs::path(path).filename().string();
    std::error_code ec;
    if (fs::symlink_status(path, ec).type() != fs::file_type::regular)
        return name + " is not a plain file";
    numerics::CFieldFile field;
    if (const std::string why = numerics::ReadFieldFile(path, field); !why.empty())
        return name + ": " + why;
    const CWaveFieldSettings& f = m.field;
    if (field.x.size() != static_cast<std::size_t>(f.m_nXPoints) || field.y.size() != static_cast<std::size_t>(f.m_nYPoints) ||
        field.t.size() != static_cast<std::size_t>(f.m_nFrames))
        return name + " holds " + std::to_string(field.x.size()) + " x " + std::to_string(field.y.size()) + " points at " +
               std::to_string(field.t.size()) + " times, not the " + std::to_string(f.m_nXPoints) + " x " +
               std::to_string(f.m_nYPoints) + " at " + std::to_string(f.m_nFrames) + " of the study";
    if (field.strComponent.size() != 1 || field.strComponent[0] != "UVW"[f.m_nComponent - 1])
        return name + " holds the component " + Printable(field.strComponent) + ", not the study's";
    return {};
}

BlockState CheckBlock(const StudyManifest& m, int task, std::string* problem) {
    const auto damaged = [&](const std::string& why) {
        if (problem)
            *problem = why;
        return BlockState::Damaged;
    };
    const std::string dir = TaskDir(m, task);
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(dir, ec);
    if (st.type() == fs::file_type::not_found)
        return BlockState::Absent;
    if (m.tasks[static_cast<std::size_t>(task - 1)].field) {
        if (!ResolvesInsideTree(StudyHome(m), dir))
            return damaged(m.tasks[static_cast<std::size_t>(task - 1)].dir + " leads outside the project directory");
        const std::string why = CheckFieldFile(m, dir);
        return why.empty() ? BlockState::Complete : damaged(why);
    }
    if (st.type() != fs::file_type::directory)
        return damaged(m.tasks[static_cast<std::size_t>(task - 1)].dir + " is not a directory");
    if (!ResolvesInsideTree(StudyHome(m), dir))
        return damaged(m.tasks[static_cast<std::size_t>(task - 1)].dir + " leads outside the project directory");
    const StudyTask& t = m.tasks[static_cast<std::size_t>(task - 1)];
    std::string listed;
    if (!ReadText(fs::path(dir) / "receivers.txt", listed, 1u << 20) || listed != ReceiverList(m, t))
        return damaged("receivers.txt does not list the block's receivers");
    for (int i = 1; i <= t.receiverCount; ++i)
        if (std::string why = CheckResultFile((fs::path(dir) / NumberedResultName(m.resultStem, i)).string());
            !why.empty())
            return damaged(why);
    return BlockState::Complete;
}

void RemoveTaskScratch(const StudyManifest& m, int task) {
    const fs::path dir = TaskDir(m, task);
    const std::string prefix = dir.filename().string() + ".run-";
    std::error_code ec;
    for (fs::directory_iterator it(dir.parent_path(), ec), end; !ec && it != end; it.increment(ec))
        if (it->path().filename().string().rfind(prefix, 0) == 0)
            fs::remove_all(it->path(), ec);
}

bool HasTaskScratch(const StudyManifest& m, int task) {
    const fs::path dir = TaskDir(m, task);
    const std::string prefix = dir.filename().string() + ".run-";
    std::error_code ec;
    for (fs::directory_iterator it(dir.parent_path(), ec), end; !ec && it != end; it.increment(ec))
        if (it->path().filename().string().rfind(prefix, 0) == 0)
            return true;
    return false;
}

TaskOutcome RunStudyTask(const StudyManifest& m, int task, const TaskHooks& hooks) {
    TaskOutcome out;
    if (task < 1 || task > static_cast<int>(m.tasks.size())) {
        out.reason = "no task " + std::to_string(task) + " (the study has " + std::to_string(m.tasks.size()) + ")";
        return out;
    }
    const StudyTask& t = m.tasks[static_cast<std::size_t>(task - 1)];
    const std::string final = TaskDir(m, task);
    const fs::path scratch = ScratchName(final);
    std::error_code ec;
    // Nothing of the task is touched before its case directory is known to be inside the project.
    if (!MakeStudyDirectory(m, scratch.parent_path().string(), &out.reason))
        return out;
    fs::remove(TaskFailedMarker(m, task), ec);
    switch (CheckBlock(m, task, nullptr)) {
    case BlockState::Complete: out.status = TaskOutcome::Status::Done; return out;
    case BlockState::Damaged: fs::remove_all(final, ec); break;  // made again below
    case BlockState::Absent: break;
    }
    fs::remove_all(scratch, ec);
    if (::mkdir(scratch.c_str(), 0777) != 0) {
        out.reason = scratch.string() + ": cannot be made: " + std::strerror(errno);
        WriteFailure(m, task, out.reason);
        return out;
    }
    std::string problem = RunTask(m, t, scratch, hooks);
    for (int i = 1; problem.empty() && i <= t.receiverCount; ++i)
        problem = CheckResultFile((scratch / NumberedResultName(m.resultStem, i)).string());
    if (t.field && problem.empty())
        problem = CheckFieldFile(m, (scratch / kWaveFieldFile).string());
    if (t.field && problem.empty()) {
        // A field is one file: it is put in place on its own, and its scratch goes.
        FlushToDisk(scratch / kWaveFieldFile);
        fs::rename(scratch / kWaveFieldFile, final, ec);
        if (!ec) {
            FlushToDisk(fs::path(final).parent_path());
            fs::remove_all(scratch, ec);
            out.status = TaskOutcome::Status::Done;
            return out;
        }
        problem = final + ": cannot be put in place: " + ec.message();
    } else if (problem.empty()) {
        // The results are on disk before the directory that announces them appears.
        for (int i = 1; i <= t.receiverCount; ++i)
            FlushToDisk(scratch / NumberedResultName(m.resultStem, i));
        FlushToDisk(scratch);
        fs::rename(scratch, final, ec);
        if (!ec) {
            out.status = TaskOutcome::Status::Done;
            return out;
        }
        problem = final + ": cannot be put in place: " + ec.message();
    }
    fs::remove_all(scratch, ec);
    out.status = problem == "cancelled" ? TaskOutcome::Status::Cancelled : TaskOutcome::Status::Failed;
    out.reason = problem;
    WriteFailure(m, task, problem);
    return out;
}
