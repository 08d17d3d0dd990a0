# make run: install what is missing, build, analyse the demo recordings.
# make test: install what is missing, build, run the whole suite.
# make test-sanitize: the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer,
# plus hostile settings and a bounded fuzzing run of the index routines.
BUILD ?= build
SANITIZE_BUILD ?= build-asan
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
TCLSH ?= tclsh

.PHONY: all bootstrap build test test-sanitize run install clean bench

all: build

bootstrap:
	@sh scripts/bootstrap

build: bootstrap
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@grep -h '^hostile:' $(BUILD)/Testing/Temporary/LastTest.log || true

test-sanitize: bootstrap
	cmake -S . -B $(SANITIZE_BUILD) -DORVALE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && ctest --output-on-failure -j $(JOBS)
	@grep -h -E '^hostile:|^Done [0-9]+ runs' $(SANITIZE_BUILD)/Testing/Temporary/LastTest.log || true

run: build
	$(TCLSH) scripts/make_demo.tcl demo/sounds
	ORVALE_LIBDIR=$(BUILD)/lib $(TCLSH) cli/orvale.tcl --interval 1000 --step 1000 --plots --out demo/out demo/sounds
	ORVALE_LIBDIR=$(BUILD)/lib $(TCLSH) cli/orvale.tcl report demo/out/results
	@cat demo/out/results/Summary.txt
	@echo "Results: demo/out/results (tables: summary.csv, intervals.csv; plots: plots/)"
	@echo "Report: $(abspath demo/out/results/report.html)"

install: build
	cmake --install $(BUILD)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) demo

# Speed and memory against Snack's own cost: see bench/bench.tcl.
bench: build
	ORVALE_LIBDIR=$(abspath $(BUILD))/lib TCLLIBPATH=$(abspath $(BUILD))/lib $(TCLSH) bench/bench.tcl -data $(abspath $(BUILD))/bench-data $(BENCH_ARGS)
