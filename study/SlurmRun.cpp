#include "SlurmRun.h"

#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "AtomicFile.h"
#include "PosixProcessRunner.h"
#include "WorkingDirectory.h"

namespace fs = std::filesystem;

namespace {

struct CCommand {
    ProcessOutcome outcome;
    std::string output;
    bool Ok() const { return outcome.status == ProcessOutcome::Status::Finished && outcome.exitCode == 0; }
};

CCommand RunCommand(const std::string& program, const std::vector<std::string>& args, const std::string& dir) {
    CCommand c;
    CPosixProcessRunner runner([&](const std::string& line) {
        if (c.output.size() < (4u << 20))
            c.output += line + "\n";
    });
    ProcessRequest request;
    request.program = program;
    request.arguments = args;
    request.workingDirectory = dir;
    c.outcome = runner.Run(request);
    return c;
}

std::string Trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
        s.pop_back();
    return s;
}

}  // namespace

std::string ThisProgram() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("pemblar-study") : self.string();
}

std::optional<std::string> ShellWord(const std::string& value) {
    if (HasControlCharacter(value))
        return std::nullopt;
    std::string out = "'";
    for (char c : value)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::optional<std::string> SlurmFileName(const std::string& path) {
    if (path.find('\\') != std::string::npos)
        return std::nullopt;
    std::string out;
    for (char c : path)
        out += c == '%' ? std::string("%%") : std::string(1, c);
    return out;
}

namespace {

bool Refuse(std::string* error, const std::string& what) {
    if (error)
        *error = what + " holds a control character (a line break, a tab); it cannot go into a Slurm job";
    return false;
}

}  // namespace

bool BatchScript(const StudyManifest& m, const std::string& program, std::string& script, std::string* error) {
    const auto programWord = ShellWord(program);
    const auto dirWord = ShellWord(m.studyDir);
    const auto idWord = ShellWord(m.id);
    if (!programWord)
        return Refuse(error, "the program path");
    if (!dirWord)
        return Refuse(error, "the study directory " + m.studyDir);
    if (!idWord)
        return Refuse(error, "the study id");
    script = "#!/bin/sh\n"
             "# Written by pemblar-study: one task of this study per array index.\n"
             "exec " + *programWord + " run-task " + *dirWord + " \"$SLURM_ARRAY_TASK_ID\" " + *idWord + "\n";
    return true;
}

bool SbatchArguments(const StudyManifest& m, const SchedulerSettings& s, const std::vector<int>& tasks,
                     const std::string& scriptPath, std::vector<std::string>& args, std::string* error) {
    // slurmstepd expands '%' patterns over the whole log path, the job's directory included.
    const auto logs = SlurmFileName((fs::path(m.studyDir) / "slurm").string());
    if (!logs) {
        if (error)
            *error = "the study directory " + m.studyDir + " holds a backslash, which turns off Slurm's file-name "
                     "patterns; the task logs cannot be named there (move the project)";
        return false;
    }
    std::string array = CompressRanges(tasks);
    if (s.maxRunning > 0)
        array += "%" + std::to_string(s.maxRunning);
    args = {"--parsable",
            "--array=" + array,
            "--job-name=pemblar-" + m.name,
            "--chdir=" + m.studyDir,
            "--output=" + *logs + "/task-%a-job-%A.out",
            "--cpus-per-task=" + std::to_string(s.cpusPerTask),
            "--ntasks=1"};
    if (!s.partition.empty())
        args.push_back("--partition=" + s.partition);
    if (!s.timeLimit.empty())
        args.push_back("--time=" + s.timeLimit);
    if (!s.memory.empty())
        args.push_back("--mem=" + s.memory);
    args.insert(args.end(), s.options.begin(), s.options.end());
    args.push_back(scriptPath);
    for (const std::string& a : args)
        if (!ShellWord(a))
            return Refuse(error, "the sbatch argument \"" + a.substr(0, a.find_first_of("\r\n\t")) + "...\"");
    return true;
}

std::string ParseSbatchOutput(const std::string& output) {
    std::istringstream in(output);
    std::string line, id;
    while (std::getline(in, line)) {
        const std::string head = line.substr(0, line.find(';'));
        if (!head.empty() && head.find_first_not_of("0123456789") == std::string::npos)
            id = head;
    }
    return id;
}

void ParseQueueLines(const std::string& output, const std::string& jobId, QueueStates& into) {
    std::istringstream in(output);
    std::string line;
    const std::string prefix = jobId + "_";
    while (std::getline(in, line)) {
        const std::size_t bar = line.find('|');
        if (bar == std::string::npos || line.rfind(prefix, 0) != 0)
            continue;
        const std::string index = line.substr(prefix.size(), bar - prefix.size());
        if (index.empty() || index.find_first_not_of("0123456789") != std::string::npos || index.size() > 7)
            continue;  // "123_[4-9]": a pending range; squeue -r lists those one by one
        into[std::stoi(index)] = Trimmed(line.substr(bar + 1));
    }
}

bool SubmitTasks(StudyManifest& m, const SchedulerSettings& s, const std::vector<int>& tasks, std::string* jobId,
                 std::string* error) {
    const fs::path dir = fs::path(m.studyDir) / "slurm";
    const std::string program = s.program.empty() ? ThisProgram() : s.program;
    const std::string script = (dir / "batch.sh").string();
    std::string text;
    std::vector<std::string> args;
    if (!BatchScript(m, program, text, error) || !SbatchArguments(m, s, tasks, script, args, error) ||
        !MakeDirectoryInsideTree(StudyHome(m), dir.string(), error) || !WriteFileAtomically(script, text, error))
        return false;
    std::error_code ec;
    fs::permissions(script, fs::perms::owner_exec | fs::perms::group_exec, fs::perm_options::add, ec);
    const CCommand c = RunCommand("sbatch", args, m.studyDir);
    const std::string id = ParseSbatchOutput(c.output);
    if (!c.Ok() || id.empty()) {
        if (error)
            *error = "sbatch refused the job array" +
                     (c.outcome.status == ProcessOutcome::Status::FailedToStart ? " (" + c.outcome.errorText + ")"
                                                                                : ": " + Trimmed(c.output));
        return false;
    }
    m.submissions.push_back(StudySubmission{id, tasks});
    if (jobId)
        *jobId = id;
    return WriteManifest(m, error);
}

QueueStates QuerySlurm(const StudyManifest& m) {
    QueueStates states;
    for (const StudySubmission& s : m.submissions) {
        QueueStates one;
        // Accounting knows ended tasks too; many clusters (and small test set-ups) keep none.
        const CCommand acct = RunCommand("sacct", {"-n", "-P", "-X", "-j", s.jobId, "-o", "JobID,State"}, m.studyDir);
        if (acct.Ok())
            ParseQueueLines(acct.output, s.jobId, one);
        const CCommand queue = RunCommand("squeue", {"-h", "-r", "-j", s.jobId, "-o", "%i|%T"}, m.studyDir);
        if (queue.Ok())
            ParseQueueLines(queue.output, s.jobId, one);
        for (int t : s.tasks) {
            const auto it = one.find(t);
            if (it != one.end())
                states[t] = it->second;
            else
                states.erase(t);  // this newer submission holds the task, but Slurm no longer knows it
        }
    }
    return states;
}

bool CancelSlurm(const StudyManifest& m, std::string* error) {
    if (m.submissions.empty()) {
        if (error)
            *error = "nothing of this study was submitted";
        return false;
    }
    for (const StudySubmission& s : m.submissions) {
        const CCommand c = RunCommand("scancel", {s.jobId}, m.studyDir);
        // A job that ended long ago is no longer known: nothing of it is left to stop.
        if (!c.Ok() && c.output.find("Invalid job id") == std::string::npos) {
            if (error)
                *error = "scancel " + s.jobId + " failed: " + Trimmed(c.output);
            return false;
        }
    }
    return true;
}
