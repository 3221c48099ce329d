# pelgrove: `make demo` builds and runs an example in batch mode; `make test` runs the suite.
BUILD        ?= build
BUILD_ASAN   ?= build-asan
BUILD_FUZZ   ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= $(basename $(notdir $(wildcard fuzz/fuzz_*.cpp)))
JOBS         ?= $(shell nproc)
DEMO_SCRIPT  ?= examples/box.vmf
DEMO_OUT     ?= box.dvk
PACKAGES     := cmake g++ make pkg-config libfltk1.3-dev libgl1-mesa-dev libglu1-mesa-dev \
                liblapack-dev liblapacke-dev libjpeg-dev libgtest-dev libgmock-dev \
                libbenchmark-dev libssl-dev xvfb xauth xdotool x11-apps python3-meshio \
                calculix-ccx parallel
# Pictures without a window (--image): EGL's surfaceless platform in Mesa, libpng.
PACKAGES     += libegl-dev libegl-mesa0 libgl1-mesa-dri libpng-dev
# The Python module (build/python/pelgrove*.so) for Debian's python3.
PACKAGES     += pybind11-dev python3-dev python3-numpy

.PHONY: all deps build demo test test-sanitize bench fuzz clean screenshot

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "installing:" $$missing; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	  else \
	    echo "missing Debian packages (install them as root): $$missing" >&2; exit 1; \
	  fi; \
	fi

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

demo: build
	$(BUILD)/bin/pelgrove --run $(DEMO_SCRIPT) $(DEMO_OUT)
	@echo "wrote $(DEMO_OUT): $$(sed -n 2p $(DEMO_OUT)) (points elements groups)"

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

test-sanitize: deps
	cmake -S . -B $(BUILD_ASAN) -DCMAKE_BUILD_TYPE=Debug -DPELGROVE_SANITIZE=ON -DPELGROVE_BENCH=OFF
	cmake --build $(BUILD_ASAN) -j$(JOBS)
	cd $(BUILD_ASAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j$(JOBS)

# The README picture, drawn by batch mode without a window.
SHOT_SCRIPT  ?= examples/flanged_pipe.vmf
SHOT_IMAGE   ?= docs/flanged_pipe.png
screenshot: build
	$(BUILD)/bin/pelgrove --run $(SHOT_SCRIPT) /dev/null --image $(SHOT_IMAGE) --size 720x480 --dark-edges

bench: build
	bench/run.sh $(BUILD)

# libFuzzer targets, built with clang (installed here only) in their own directory; each
# runs FUZZ_SECONDS.
fuzz:
	$(MAKE) deps PACKAGES="$(PACKAGES) clang"
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELGROVE_FUZZ=ON \
	  -DPELGROVE_BENCH=OFF
	cmake --build $(BUILD_FUZZ) -j$(JOBS) --target $(FUZZ_TARGETS)
	fuzz/run.sh $(BUILD_FUZZ) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_FUZZ)
