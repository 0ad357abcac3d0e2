# The two set-up commands of a fresh machine are `make demo` and `make test`;
# both install what is missing first.
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60

.PHONY: all deps build test test-asan demo bench fuzz fuzz-replay install-check format tidy clean mutate test-size

all: build

deps:
	@scripts/install-deps

build: deps
	cmake --preset dev >/dev/null
	cmake --build --preset dev -j $(JOBS)

test: build
	ctest --preset dev -j $(JOBS)

test-asan: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

# Builds just the tool (and the library) and runs the main job on bundled data.
demo: deps
	cmake --preset dev >/dev/null
	cmake --build --preset dev -j $(JOBS) --target pelix
	build/dev/tools/pelix/pelix demo

bench: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)
	@for b in build/release/bench/bench_*; do \
	  if [ -x "$$b" ]; then echo "== $$b"; "$$b" || exit 1; fi; done

fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	@FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/run-fuzzers build/fuzz

# Mutation check over the committed sample of changes (scripts/mutate-sample.tsv);
# results go to build/mutate/results.tsv. MUTATE_ARGS passes options, e.g. --jobs 1.
mutate: deps
	scripts/mutate.py $(MUTATE_ARGS)

# Lines of tests/ + fuzz/ against the one-third budget; fails when over it.
test-size:
	@scripts/test-size

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

tidy: build
	git ls-files '*.cpp' | grep -v -E '^(fuzz)/' | xargs clang-tidy -p build/dev --quiet

clean:
	rm -rf build
