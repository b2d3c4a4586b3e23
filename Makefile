# Vantrel: the two commands a newcomer needs are `make demo` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CTEST_ARGS ?=

.PHONY: all deps configure build demo test bench package clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@if [ ! -f $(BUILD)/build.ninja ]; then cmake --preset release; fi

build: configure
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	@if [ ! -x $(BUILD)/run/vantrel-demo ]; then \
	  echo "make demo: the demo executable build/run/vantrel-demo is not built yet (the demo application is still missing)."; \
	  exit 1; \
	fi
	cd $(BUILD)/run && ./vantrel-demo

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

# The Debian package (build/vantrel_<version>_<arch>.deb), installable with
# apt install ./build/vantrel_*.deb
package: build
	cd $(BUILD) && cpack -G DEB

bench: configure
	cmake --build $(BUILD) -j $(JOBS) --target benchmarks
	scripts/run-bench $(BUILD)

clean:
	rm -rf $(BUILD)
