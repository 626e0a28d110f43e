# Two entry points for a fresh Debian machine:
#   make run   installs what is missing, builds, runs an example model
#   make test  the same set-up, then every test through ctest, against the
#              sanitizer build and the optimised build
#
# What the build uses, and nothing more: the tool chain, the parser
# generator and the unit-test framework.
PACKAGES := cmake ninja-build bison g++ make libgtest-dev
# Packages that parts not built yet will add here when they land:
#   the solver driver:  coinor-libcbc-dev (with the CLP library it brings)
#   fuzz targets:       clang libclang-rt-dev
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
JOBS ?= $(shell nproc)
# Both builds treat warnings as errors.
CONFIGURE := cmake -S . -G Ninja -DVEXO_WERROR=ON

.PHONY: run test deps release asan bench clean

# A package counts as present when dpkg records it as installed ("install ok
# installed", also "hold ok installed"), not merely known or half removed.
deps:
	@missing=""; for p in $(PACKAGES); do \
	  case "$$(dpkg-query -W -f='$${Status}' $$p 2>/dev/null)" in \
	    *" ok installed") ;; *) missing="$$missing $$p" ;; esac; done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update -q && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -q $$missing; \
	fi

# A change here configures the builds again.
build/release/build.ninja: Makefile | deps
	$(CONFIGURE) -B build/release -DCMAKE_BUILD_TYPE=Release \
	  -DVEXO_TESTS=OFF -DVEXO_BENCH=ON

build/asan/build.ninja: Makefile | deps
	$(CONFIGURE) -B build/asan -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS=-O1 -DVEXO_SANITIZE=ON

release: deps build/release/build.ninja
	cmake --build build/release -j $(JOBS)

asan: deps build/asan/build.ninja
	cmake --build build/asan -j $(JOBS)

# Until commands run, the example is read and checked; once they do, the
# target runs examples/transport.run (model, data, solve, display).
run: release
	cd examples && ../build/release/vexo transport.mod && \
	  echo "examples/transport.mod: read and checked, no errors"

# The sanitizer build holds the unit tests and the cases (case:<id>); the
# optimised build runs the cases again (case-release:<id>).  Both runs go
# on to the end; the target fails when either had a failure.
test: asan release
	@rc=0; \
	ctest --test-dir build/asan --output-on-failure -j $(JOBS) || rc=1; \
	ctest --test-dir build/release --output-on-failure -j $(JOBS) || rc=1; \
	exit $$rc

bench: release
	@for b in build/release/bench/*_bench; do echo "== $$b"; $$b; done

clean:
	rm -rf build
