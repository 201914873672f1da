// The committed example handheld is exactly what its generator writes.
#include "files.h"
#include "host_fixture.h"

namespace tarvo::test {
namespace {

TEST_F(HostTest, ExampleHandheldMatchesItsGenerator) {
  const auto made = root_ / "made";
  const ProgramResult r = runProgram(TARVO_MAKE_EXAMPLE, {made.string()}, {});
  ASSERT_EQ(r.status, 0) << r.err;
  size_t files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(made)) {
    if (!entry.is_regular_file()) continue;
    ++files;
    const auto relative = std::filesystem::relative(entry.path(), made);
    EXPECT_EQ(ReadFile(entry.path()), ReadFile(std::filesystem::path(TARVO_EXAMPLE_HANDHELD) / relative))
        << relative << " differs: run tarvo-make-example-handheld examples/handheld";
  }
  EXPECT_EQ(files, 3u);
}

}  // namespace
}  // namespace tarvo::test
