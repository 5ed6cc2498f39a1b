// The study file reader: what a good file gives, and that every bad one is refused with its line.
#include <gtest/gtest.h>

#include <cmath>

#include "StudyFile.h"

namespace {

StudyDefinition Parse(const std::string& text, const std::string& base = "/home/eng/plates") {
    StudyDefinition def;
    StudyFileError error;
    EXPECT_TRUE(ParseStudyText(text, base, "default", def, &error)) << error.line << ": " << error.reason;
    return def;
}

StudyFileError Refuse(const std::string& text) {
    StudyDefinition def;
    StudyFileError error;
    EXPECT_FALSE(ParseStudyText(text, "/home/eng", "default", def, &error)) << text;
    return error;
}

TEST(StudyFile, ReadsAWholeStudy) {
    const StudyDefinition def = Parse(
        "project = \"input/laminate.dat\"\n"
        "name = \"bscan\"\n"
        "points = 501\n"
        "[receivers]\nfrom = 0\nto = 50\ncount = 51\n"
        "[[vary]]\nparameter = \"angle\"\nlayer = 2\nvalues = [0, 15.5, 45]\n"
        "[[vary]]\nparameter = \"frequency\"\nfrom = 1.0\nto = 2.0\nstep = 0.5\n"
        "[scheduler]\ntype = \"slurm\"\npartition = \"short\"\ntime = \"00:10:00\"\nmemory = \"1G\"\n"
        "cpus_per_task = 4\nreceivers_per_task = 10\nmax_running = 8\noptions = [\"--account=p1\"]\n");
    EXPECT_EQ(def.projectFile, "/home/eng/plates/input/laminate.dat");
    EXPECT_EQ(def.kind, StudyKind::Composite);
    EXPECT_EQ(def.solver, "lumdex");
    EXPECT_EQ(def.name, "bscan");
    EXPECT_EQ(def.points, 501);
    ASSERT_TRUE(def.receiverSweep);
    ASSERT_EQ(def.receivers.size(), 51u);
    EXPECT_EQ(def.receivers.front(), 0.0);
    EXPECT_EQ(def.receivers.back(), 50.0);
    EXPECT_DOUBLE_EQ(def.receivers[1], 1.0);
    ASSERT_EQ(def.parameters.size(), 2u);
    EXPECT_EQ(def.parameters[0].kind, ParameterKind::Angle);
    EXPECT_EQ(def.parameters[0].layer, 2);
    EXPECT_EQ(def.parameters[0].values, (std::vector<double>{0, 15.5, 45}));
    EXPECT_EQ(def.parameters[1].values, (std::vector<double>{1.0, 1.5, 2.0}));
    const SchedulerSettings& s = def.scheduler;
    EXPECT_EQ(s.kind, SchedulerKind::Slurm);
    EXPECT_EQ(s.partition, "short");
    EXPECT_EQ(s.timeLimit, "00:10:00");
    EXPECT_EQ(s.memory, "1G");
    EXPECT_EQ(s.cpusPerTask, 4);
    EXPECT_EQ(s.receiversPerTask, 10);
    EXPECT_EQ(s.maxRunning, 8);
    EXPECT_EQ(s.options, (std::vector<std::string>{"--account=p1"}));
}

TEST(StudyFile, DefaultsFollowTheProject) {
    StudyDefinition def = Parse("project = \"/data/p/inputFGM/graded.dat\"\n[[vary]]\nparameter = "
                                "\"volume_fraction\"\nlayer = 1\nvalues = [0.1, 0.9]\n");
    EXPECT_EQ(def.kind, StudyKind::FGM);
    EXPECT_EQ(def.solver, "Kavrit");
    EXPECT_EQ(def.name, "default");
    EXPECT_FALSE(def.receiverSweep);
    EXPECT_EQ(def.scheduler.kind, SchedulerKind::Local);
    EXPECT_EQ(def.scheduler.jobs, 0);
    def = Parse("project = \"p.dat\"\nsolver = \"tools/lumdex\"\n[receivers]\nvalues = [3]\n", "/w");
    EXPECT_EQ(def.solver, "/w/tools/lumdex");
}

TEST(StudyFile, RangesHoldTheirEnds) {
    std::string why;
    EXPECT_EQ(StepRange(0, 1, 0.1, &why).size(), 11u);
    EXPECT_EQ(StepRange(0, 0.95, 0.1, &why).size(), 10u);
    EXPECT_EQ(StepRange(2, 2, 1, &why), (std::vector<double>{2}));
    EXPECT_TRUE(StepRange(0, 1, 0, &why).empty());
    EXPECT_TRUE(StepRange(0, 1, -1, &why).empty());
    EXPECT_TRUE(StepRange(1, 0, 0.1, &why).empty());
    EXPECT_TRUE(StepRange(0, 1e9, 1e-9, &why).empty());  // bounded, not a billion values
    const auto c = CountRange(-5, 5, 3, &why);
    EXPECT_EQ(c, (std::vector<double>{-5, 0, 5}));
    EXPECT_TRUE(CountRange(0, 1, 1, &why).empty());
    EXPECT_EQ(CountRange(1, 1, 1, &why), (std::vector<double>{1}));
}

TEST(StudyFile, RefusesBadFilesWithTheirLine) {
    struct Case {
        const char* text;
        int line;
        const char* says;
    };
    const Case cases[] = {
        {"project = \"p.dat\"\n[receivers]\nfrom = 0\nto = 1\ncount = 2\nsetp = 1\n", 6, "unknown key \"setp\""},
        {"[receivers]\nvalues = [1]\n", 0, "names no project"},
        {"project = \"p.dat\"\n", 0, "varies nothing"},
        {"project = \"p.dat\"\n[receivers]\nvalues = [1, nan]\n", 3, "finite"},
        {"project = \"p.dat\"\n[receivers]\nvalues = [1, inf]\n", 3, "finite"},
        {"project = \"p.dat\"\n[receivers]\nvalues = [1, \"2\"]\n", 3, "number"},
        {"project = \"p.dat\"\n[receivers]\nfrom = -1.7e308\nto = 1.7e308\ncount = 3\n", 3, "too large"},
        {"project = \"p.dat\"\n[receivers]\nvalues = []\n", 3, "at least one"},
        {"project = \"p.dat\"\n[receivers]\nvalues = [1]\nfrom = 0\n", 3, "not both"},
        {"project = \"p.dat\"\n[receivers]\nfrom = 0\nto = 1\n", 2, "either step or count"},
        {"project = \"p.dat\"\n[receivers]\nfrom = 0\nto = 1\ncount = 0\n", 5, "count must be"},
        {"project = \"p.dat\"\n[receivers]\nfrom = 0\nto = 1\nstep = 0\n", 5, "step must be positive"},
        {"project = \"p.dat\"\n[receivers]\nfrom = 0\n= 1\n", 4, ""},  // TOML syntax
        {"project = \"/x/inputFGM/g.dat\"\n[[vary]]\nparameter = \"angle\"\nlayer = 1\nvalues = [1]\n", 3, "no fibre angle"},
        {"project = \"p.dat\"\n[[vary]]\nparameter = \"volume_fraction\"\nlayer = 1\nvalues = [1]\n", 3, "no volume fraction"},
        {"project = \"p.dat\"\n[[vary]]\nparameter = \"thickness\"\nvalues = [1]\n", 2, "layer is missing"},
        {"project = \"p.dat\"\n[[vary]]\nparameter = \"thickness\"\nlayer = 0\nvalues = [1]\n", 4, "layer must be"},
        {"project = \"p.dat\"\n[[vary]]\nparameter = \"thickness\"\nlayer = 1\nvalues = [1, 0]\n", 2, "positive"},
        {"project = \"p.dat\"\n[[vary]]\nparameter = \"frequency\"\nlayer = 1\nvalues = [1]\n", 4, "no layer"},
        {"project = \"p.dat\"\n[[vary]]\nparameter = \"colour\"\nvalues = [1]\n", 3, "unknown parameter"},
        {"project = \"p.dat\"\n[[vary]]\nparameter = \"frequency\"\nvalues = [1]\n[[vary]]\nparameter = "
         "\"frequency\"\nvalues = [2]\n",
         5, "varied twice"},
        {"project = \"p.dat\"\n[[vary]]\nparameter = \"frequency\"\nfrom = 0\nto = 1\ncount = 200\n"
         "[[vary]]\nparameter = \"thickness\"\nlayer = 1\nfrom = 1\nto = 2\ncount = 200\n",
         7, "more than 10000 cases"},
        {"project = \"p.dat\"\nname = \"../up\"\n[receivers]\nvalues = [1]\n", 2, "cannot be a directory name"},
        {"project = \"p.dat\"\n[receivers]\nvalues = [1]\n[scheduler]\ntype = \"pbs\"\n", 5, "\"local\" or \"slurm\""},
        {"project = \"p.dat\"\n[receivers]\nvalues = [1]\n[scheduler]\ncpus_per_task = 0\n", 5, "cpus_per_task"},
        {"project = \"p.dat\"\n[receivers]\nvalues = [1]\n[scheduler]\noptions = \"--x\"\n", 5, "list of strings"},
        {"project = \"p.dat\"\npoints = 1\n[receivers]\nvalues = [1]\n", 2, "points must be"},
        {"project = \"p.dat\"\norder = 0\n[receivers]\nvalues = [1]\n", 2, "order must be"},
        {"project = \"p.dat\"\norder = 65\n[receivers]\nvalues = [1]\n", 2, "order must be"},
        {"project = \"p.dat\"\norder = 2.5\n[receivers]\nvalues = [1]\n", 2, "order"},
        {"project = \"p.dat\"\norder = \"auto\"\n[receivers]\nvalues = [1]\n", 2, "order"},
        {"project = 3\n[receivers]\nvalues = [1]\n", 1, "string"},
        {"project = \"p.dat\"\nreceivers = [1, 2]\n", 2, "must be a table"},
    };
    for (const Case& c : cases) {
        const StudyFileError e = Refuse(c.text);
        EXPECT_EQ(e.line, c.line) << c.text << "\n" << e.reason;
        EXPECT_NE(e.reason.find(c.says), std::string::npos) << c.text << "\n" << e.reason;
    }
}

TEST(StudyFile, WrittenTextReadsBackTheSame) {
    StudyDefinition def;
    def.name = "angles";
    def.projectFile = "/p/input/lam \"one\".dat";
    def.solver = "/opt/solvers/lumdex";
    def.points = 301;
    def.order = 9;
    def.receiverSweep = true;
    def.receivers = {0.1, 2.0 / 3.0, 7};
    def.parameters.push_back(StudyParameter{ParameterKind::Angle, 3, {0, 22.5}});
    def.scheduler.kind = SchedulerKind::Slurm;
    def.scheduler.partition = "gpu";
    def.scheduler.receiversPerTask = 2;
    def.scheduler.options = {"--qos=low"};
    StudyDefinition back;
    StudyFileError error;
    ASSERT_TRUE(ParseStudyText(FormatStudyText(def), "/elsewhere", "x", back, &error)) << error.reason;
    EXPECT_EQ(back.name, def.name);
    EXPECT_EQ(back.projectFile, def.projectFile);
    EXPECT_EQ(back.solver, def.solver);
    EXPECT_EQ(back.points, def.points);
    EXPECT_EQ(back.order, 9);
    // Automatic is the absence of the key.
    def.order = 0;
    EXPECT_EQ(FormatStudyText(def).find("order"), std::string::npos);
    EXPECT_EQ(back.receivers, def.receivers);  // bit for bit: 17 digits
    ASSERT_EQ(back.parameters.size(), 1u);
    EXPECT_EQ(back.parameters[0].layer, 3);
    EXPECT_EQ(back.parameters[0].values, def.parameters[0].values);
    EXPECT_EQ(back.scheduler.partition, "gpu");
    EXPECT_EQ(back.scheduler.receiversPerTask, 2);
    EXPECT_EQ(back.scheduler.options, def.scheduler.options);
}

}  // namespace
