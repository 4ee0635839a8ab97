# The two commands of the README. Both install what they need first.
.PHONY: run test deps deps-run build-app build-dev build-asan format

JOBS ?= $(shell nproc)
# The system tests each run a desktop session and real services under the sanitizers; half the cores
# keeps their time limits meaningful on a machine that is doing other work too.
TEST_JOBS ?= $(shell n=$$(nproc); echo $$(( n > 3 ? n / 2 : 2 )))

deps-run:
	@bash scripts/install-deps.sh run

deps:
	@bash scripts/install-deps.sh run test

# Only the program, optimised: a first start waits neither for the tests nor for their packages.
build-app: deps-run
	@JOBS=$(JOBS) bash scripts/build-quietly.sh release lumivox

build-dev: deps
	@cmake --preset dev >/dev/null
	@cmake --build --preset dev -j $(JOBS)

build-asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)

run: build-app
	@./build/release/src/App/lumivox

test: build-asan
	@ctest --preset asan -j $(TEST_JOBS)

format:
	@git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format -i
