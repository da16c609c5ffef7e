add_test([=[Placeholder.Builds]=]  /work/main/build/tests/platform_test [==[--gtest_filter=Placeholder.Builds]==] --gtest_also_run_disabled_tests)
set_tests_properties([=[Placeholder.Builds]=]  PROPERTIES WORKING_DIRECTORY /work/main/build/tests SKIP_REGULAR_EXPRESSION [==[\[  SKIPPED \]]==] LABELS unit)
set(  platform_test_TESTS Placeholder.Builds)
