# Two entry points for a fresh Debian machine:
#   make run   installs what is missing, builds, runs an example model
#   make test  the same set-up, then every test through ctest
PACKAGES := cmake ninja-build bison g++ make libgtest-dev libgmock-dev \
            libbenchmark-dev
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
JOBS ?= $(shell nproc)

.PHONY: run test deps release asan bench clean

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update -q && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -q $$missing; \
	fi

build/release/build.ninja: | deps
	cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DVEXO_TESTS=OFF -DVEXO_BENCH=ON

build/asan/build.ninja: | deps
	cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
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


test: asan
	cd build/asan && ctest --output-on-failure -j $(JOBS)

bench: release
	@for b in build/release/bench/*_bench; do echo "== $$b"; $$b; done

clean:
	rm -rf build
