# Vantor: the two commands a user needs are `make run` and `make test`.
SHELL := /bin/bash
# native-x87: the portable suites once more with x87 arithmetic, as 32-bit code once did it.
PRESETS := native native-x87 win32 win64
JOBS ?= $(shell nproc)
BRIDGE := build/xvidbridge/xvidcore.dll.so

.PHONY: all deps build configure test test-long run bench clean distclean bench-stop

all: build

deps:
	@tools/install-deps

# Configure on first use only; later builds let CMake re-run itself when needed.
build/%/build.ninja:
	cmake --preset $* >/dev/null

build: deps $(addprefix build/,$(addsuffix /build.ninja,$(PRESETS)))
	@for p in $(PRESETS); do cmake --build --preset $$p -j $(JOBS) || exit 1; done
	@tools/xvidbridge/build build/xvidbridge
	@echo "dist/Vantor/ is ready"

# Every test, native and under Wine, through CTest. Long tests (label "long") run with `make test-long`.
test: build
	@tools/run-tests $(PRESETS)

test-long: build
	@VANTOR_CTEST_ARGS="-L long" tools/run-tests $(PRESETS)

run: build
	@tools/run-vantor

bench: build
	@tools/run-benchmarks

bench-stop:
	@tools/winebench stop

clean:
	rm -rf build dist

distclean: clean
