# Installs the build into a fresh temporary prefix and checks what a desktop needs is there.
#   cmake -DBUILD_DIR=... -DPREFIX=... -P check_install.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(result)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

foreach(program gx7140r-tool gx7140r-sim)
    if(NOT EXISTS ${PREFIX}/bin/${program})
        message(FATAL_ERROR "missing bin/${program}")
    endif()
endforeach()

set(entry ${PREFIX}/share/applications/gx7140r-tool.desktop)
file(READ ${entry} text)
foreach(line "[Desktop Entry]" "Type=Application" "Name=GX7140R CO2 sensor tool"
             "Name[zh_CN]=GX7140R二氧化碳传感器工具软件" "Exec=gx7140r-tool" "Icon=gx7140r-tool"
             "Categories=Utility;Electronics;")
    string(FIND "${text}" "${line}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "desktop entry lacks: ${line}")
    endif()
endforeach()

# Each icon is a PNG of the size its folder names (width and height in the IHDR chunk).
foreach(size 16 24 32 48 64 128 256)
    set(icon ${PREFIX}/share/icons/hicolor/${size}x${size}/apps/gx7140r-tool.png)
    if(NOT EXISTS ${icon})
        message(FATAL_ERROR "missing icon ${size}x${size}")
    endif()
    file(READ ${icon} header LIMIT 24 HEX)
    string(SUBSTRING "${header}" 0 16 signature)
    string(SUBSTRING "${header}" 32 8 width)
    string(SUBSTRING "${header}" 40 8 height)
    math(EXPR expected "${size}" OUTPUT_FORMAT HEXADECIMAL)
    string(REPLACE "0x" "" expected "${expected}")
    string(LENGTH "${expected}" length)
    while(length LESS 8)
        string(PREPEND expected "0")
        string(LENGTH "${expected}" length)
    endwhile()
    if(NOT signature STREQUAL "89504e470d0a1a0a" OR NOT width STREQUAL expected
       OR NOT height STREQUAL expected)
        message(FATAL_ERROR "icon ${size}x${size} is not a ${size}x${size} PNG")
    endif()
endforeach()
message(STATUS "install layout checked in ${PREFIX}")
