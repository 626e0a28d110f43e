# Two entry points for a fresh Debian machine:
#   make run   installs what is missing, builds, runs an example model
#   make test  the same set-up, then every test through ctest, against the
#              sanitizer build and the optimised build (SEED=<n>: the unit
#              tests in another order)
#
# What the build uses, and nothing more: the tool chain, the parser
# generator and the unit-test framework; the default solver's libraries
# (pkg-config finds them) and, for its tests, the oracle's Python library.
PACKAGES := cmake ninja-build bison g++ make libgtest-dev
PACKAGES += pkg-config coinor-libcbc-dev coinor-libclp-dev python3-scipy
# Only make fuzz needs these: clang and its fuzzing engine runtime.
FUZZ_PACKAGES := clang libclang-rt-14-dev
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
JOBS ?= $(shell nproc)
# Both builds treat warnings as errors.
CONFIGURE := cmake -S . -G Ninja -DVEXO_WERROR=ON

.PHONY: run test deps fuzz-deps release asan fuzz bench clean

# Installs the packages named that are missing.  A package counts as
# present when dpkg records it as installed ("install ok installed", also
# "hold ok installed"), not merely known or half removed.
define install_missing
	@missing=""; for p in $(1); do \
	  case "$$(dpkg-query -W -f='$${Status}' $$p 2>/dev/null)" in \
	    *" ok installed") ;; *) missing="$$missing $$p" ;; esac; done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update -q && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -q $$missing; \
	fi
endef

deps:
	$(call install_missing,$(PACKAGES))

fuzz-deps:
	$(call install_missing,$(PACKAGES) $(FUZZ_PACKAGES))

# A change here configures the builds again.
build/release/build.ninja: Makefile | deps
	$(CONFIGURE) -B build/release -DCMAKE_BUILD_TYPE=Release -DVEXO_BENCH=ON

build/asan/build.ninja: Makefile | deps
	$(CONFIGURE) -B build/asan -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS=-O1 -DVEXO_SANITIZE=ON

release: deps build/release/build.ninja
	cmake --build build/release -j $(JOBS)

asan: deps build/asan/build.ninja
	cmake --build build/asan -j $(JOBS)

# Runs examples/transport.run: the model and its data, solved by the
# default solver vexocbc (found beside vexo), the results displayed.
# Builds the two programs only.
run: deps build/release/build.ninja
	cmake --build build/release -j $(JOBS) --target vexo vexocbc
	cd examples && ../build/release/vexo transport.run

# Both builds register the same tests, the optimised build's with
# "-release" in their names (unit:<subsystem>, case:<id>, fuzz-replay:<target>
# ... and unit-release:<subsystem> ...).  One ctest run takes the tests of
# both from build/CTestTestfile.cmake, so that they share the processors to
# the end; it goes on after a failure and fails when any test failed.  Each
# unit-test binary runs its tests in an order shuffled by SEED, which it
# prints; the same SEED gives the same order again.
SEED ?= 1

test: asan release
	@printf 'subdirs("asan")\nsubdirs("release")\n' >build/CTestTestfile.cmake
	@echo "unit tests shuffled with seed $(SEED)"
	VEXO_TEST_SEED=$(SEED) ctest --test-dir build --output-on-failure -j $(JOBS)

# The fuzz targets (tests/fuzz/) built with clang and libFuzzer in
# build/fuzz, each run for FUZZ_TIME seconds by tests/fuzz/run.sh, at most
# FUZZ_PARALLEL at once.  The engine runs in fork mode (FUZZ_FORK child
# processes a target, one core each) and goes on after a crash, a timeout
# (FUZZ_TIMEOUT seconds) or exhausted memory.  FUZZ_TARGETS names the
# targets built and run (FUZZ_TARGETS=data: that one only); the default is
# every tests/fuzz/<target>_fuzz.cpp.  Seeds longer than FUZZ_MAX_LEN bytes
# are cut into pieces.  The corpus a target grows stays in
# build/fuzz/corpus/<target>.  After the run each finding is run again and
# sorted by its signature (the kind of failure and the innermost frames of
# the program's code): one input a fault goes to
# tests/fuzz/findings/<target>/, which the suite replays, or, when it timed
# out or took more than 2 s, to tests/fuzz/slow/<target>/, which it does
# not.  build/fuzz/logs/<target>.log is the run's log and
# build/fuzz/logs/<target>.found lists what it kept; the target fails when
# a run kept anything new.  FUZZ_EXTRA adds libFuzzer flags.
FUZZ_TIME ?= 600
FUZZ_PARALLEL ?= 3
FUZZ_FORK ?= 1
FUZZ_TIMEOUT ?= 10
FUZZ_MAX_LEN ?= 65536
FUZZ_TARGETS ?= $(patsubst tests/fuzz/%_fuzz.cpp,%,$(wildcard tests/fuzz/*_fuzz.cpp))
FUZZ_FLAGS := -rss_limit_mb=4096 -close_fd_mask=3 -print_final_stats=1

# Warnings are errors for the compiler of the other builds only: clang warns
# of other things.
build/fuzz/build.ninja: Makefile | fuzz-deps
	cmake -S . -G Ninja -B build/fuzz -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_CXX_FLAGS="-O1 -g" -DVEXO_FUZZ=ON -DVEXO_TESTS=OFF

fuzz: fuzz-deps build/fuzz/build.ninja
	cmake --build build/fuzz -j $(JOBS) --target fuzz_dict \
	  $(addprefix fuzz_,$(FUZZ_TARGETS))
	@cd build/fuzz && tests/fuzz/fuzz_dict >vexo.dict && \
	for t in $(FUZZ_TARGETS); do echo $$t; done | \
	FUZZ_FORK=$(FUZZ_FORK) FUZZ_TIMEOUT=$(FUZZ_TIMEOUT) \
	FUZZ_MAX_LEN=$(FUZZ_MAX_LEN) xargs -P $(FUZZ_PARALLEL) -I{} \
	  "$(CURDIR)/tests/fuzz/run.sh" {} "$(CURDIR)" $(FUZZ_TIME) \
	  $(FUZZ_FLAGS) $(FUZZ_EXTRA)

bench: release
	@for b in build/release/bench/*_bench; do echo "== $$b"; $$b; done

clean:
	rm -rf build
