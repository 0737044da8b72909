#pragma once

// The two sample users of the cloud source. The data-source tree lists them and
// the avatar lookup gives each its own picture; any other user gets the default.
namespace SampleCloudUsers
{
    inline constexpr const char* first  = "Sample Vocalist";
    inline constexpr const char* second = "Sample Engineer";
}
