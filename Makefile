# The two set-up commands: `make run` and `make test`.
BUILD ?= build
JOBS  ?= $(shell nproc)

.PHONY: all deps build run test unit e2e clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja: CMakeLists.txt
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/first-run.sh $(BUILD)
	@if [ -z "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  echo "Tovlan: 画面がありません (DISPLAY も WAYLAND_DISPLAY も設定されていません)"; \
	else cd $(BUILD) && ./tovlan; fi

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

unit: build
	cd $(BUILD) && ctest --output-on-failure -L unit -j $(JOBS)

e2e: build
	cd $(BUILD) && ctest --output-on-failure -L e2e

clean:
	rm -rf $(BUILD)
