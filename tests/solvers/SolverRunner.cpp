#include "SolverRunner.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace solvertest {

CTempDir::CTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pemblar-solvers-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    m_strPath = pattern;
}

CTempDir::~CTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_strPath, ec);
}

void CTempDir::Write(const std::string& name, const std::string& contents) const {
    std::ofstream out(File(name), std::ios::binary);
    out << contents;
}

bool CTempDir::Exists(const std::string& name) const { return std::filesystem::exists(File(name)); }

std::string CTempDir::Read(const std::string& name) const {
    std::ifstream in(File(name), std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

CRun RunSolver(const std::string& program, const std::vector<std::string>& args, const std::string& dir) {
    const std::string out = dir + "/.stdout", err = dir + "/.stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    CRun run;
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        run.nExit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    const auto slurp = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    };
    run.strOut = slurp(out);
    run.strErr = slurp(err);
    std::remove(out.c_str());
    std::remove(err.c_str());
    return run;
}

CCurve ReadCurve(const std::string& text) {
    CCurve c;
    std::istringstream in(text);
    in >> c.nFirst >> c.nCount;
    double t = 0, u = 0;
    while (in >> t >> u) {
        c.t.push_back(t);
        c.u.push_back(u);
    }
    return c;
}

namespace {
std::string Format(const char* format, double a) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, a);
    return buffer;
}
std::string Int(int v) { return std::to_string(v); }
}  // namespace

std::vector<std::string> AtOrder(int order, const std::vector<std::string>& args) {
    std::vector<std::string> all = {"--order", std::to_string(order)};
    all.insert(all.end(), args.begin(), args.end());
    return all;
}

CPly Isotropic(double e, double nu, double density) {
    return {e, e, e / (2 * (1 + nu)), nu, nu, 0.0, density};
}

double MaxAbs(const std::vector<double>& v) {
    double m = 0;
    for (double x : v) m = std::max(m, std::abs(x));
    return m;
}

std::string HannBurstText(double centre, int cycles) {
    std::string text;
    const double length = cycles / centre, step = 1 / (40 * centre), pi = 3.14159265358979323846;
    for (int i = 0; i * step <= length + 1e-9; ++i) {
        const double t = i * step;
        char line[80];
        std::snprintf(line, sizeof line, "%.10g %.10g\n", t,
                      0.5 * (1 - std::cos(2 * pi * t / length)) * std::sin(2 * pi * centre * t));
        text += line;
    }
    return text;
}

std::string CLaminate::Text(bool crlf) const {
    const std::string nl = crlf ? "\r\n" : "\n";
    std::string s = strTitle + nl;
    s += Int(static_cast<int>(layers.size())) + "    " + Int(static_cast<int>(materials.size())) + "    " +
         Format("%f", dDimConst) + nl;
    for (const auto& l : layers) s += Int(l.nMaterial) + "    " + Format("%.4f", l.dThickness) + nl;
    for (const auto& m : materials) s += Format("%.4f", m.dAngle) + nl;
    for (const auto& m : materials) s += Format("%.4f", m.dDensity) + nl;
    for (const auto& l : layers) s += Int(l.nSublayers) + " ";
    s += nl;
    for (const auto& m : materials)
        s += Format("%.4f", m.dE1) + "  " + Format("%.4f", m.dE2) + "  " + Format("%.4f", m.dG12) + "  " +
             Format("%.4f", m.dV12) + "  " + Format("%.4f", m.dV23) + nl;
    s += Int(bPlate) + " " + nl;
    if (bPlate == 0) s += Format("%.2f", dRadius) + nl;
    s += Int(nLoadType) + "    " + Format("%.4f", dFrequency) + nl;
    s += Int(nLoadDir) + "    " + Int(nOutput) + nl;
    s += Format("%.2f", dTimeFrom) + "    " + Format("%.2f", dTimeTo) + nl;
    s += Format("%.4f", dReceiverX) + nl;
    return s;
}

std::string CGraded::Text() const {
    std::string s;
    for (const auto& m : materials)
        s += Format("%.4f", m.dE) + "  " + Format("%.4f", m.dDensity) + "  " + Format("%.4f", m.dNu) + "\n";
    s += Int(static_cast<int>(layers.size())) + "\n";
    for (const auto& l : layers) s += Format("%.4f", l.dVolFraction) + "  " + Format("%.4f", l.dThickness) + "\n";
    s += Format("%.4f", dLastFraction) + " \n";
    s += Int(bPlate) + " \n";
    if (bPlate == 0) s += Format("%.2f", dRadius) + "\n";
    s += Int(nLoadType) + "    " + Format("%.4f", dFrequency) + "\n";
    s += Int(nLoadDir) + "    " + Int(nOutput) + "\n";
    s += Format("%.2f", dTimeFrom) + "    " + Format("%.2f", dTimeTo) + "\n";
    s += Format("%.4f", dReceiverX) + "\n";
    return s;
}

std::vector<std::vector<double>> ReadDispersion(const std::string& out) {
    std::vector<std::vector<double>> rows;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::vector<double> row;
        double v = 0;
        while (fields >> v) row.push_back(v);
        rows.push_back(row);
    }
    return rows;
}

double RelativeL2(const std::vector<double>& a, const std::vector<double>& b) {
    double diff = 0, norm = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        diff += (a[i] - b[i]) * (a[i] - b[i]);
        norm += b[i] * b[i];
    }
    return std::sqrt(diff / norm);
}

}  // namespace solvertest
