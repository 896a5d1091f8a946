#include "SimHandles.h"

#include <gtest/gtest.h>

#include <set>

using quillan::HandleKind;
using quillan::SimHandles;

TEST(Handles, AreNeverReusedAndKindChecked)
{
    SimHandles& h = SimHandles::instance();
    auto object = std::make_shared<int>(7);
    uint32_t a = h.add(HandleKind::System, object);
    ASSERT_NE(a, 0u);
    EXPECT_EQ(h.get<int>(a, HandleKind::System), object);
    EXPECT_EQ(h.get<int>(a, HandleKind::Device), nullptr);
    EXPECT_EQ(h.get<int>(0, HandleKind::System), nullptr);
    h.remove(a);
    EXPECT_EQ(h.get<int>(a, HandleKind::System), nullptr);
    std::set<uint32_t> seen{a};
    for (int i = 0; i < 1000; ++i) {
        uint32_t b = h.add(HandleKind::Feature, object);
        EXPECT_TRUE(seen.insert(b).second) << "handle " << b << " reused";
        h.remove(b);
    }
}

TEST(Handles, RemovingAnOwnerRemovesWhatItOwns)
{
    SimHandles& h = SimHandles::instance();
    auto object = std::make_shared<int>(1);
    uint32_t system = h.add(HandleKind::System, object);
    uint32_t iface = h.add(HandleKind::Interface, object, system);
    uint32_t device = h.add(HandleKind::Device, object, iface);
    uint32_t remote = h.add(HandleKind::RemoteDevice, object, device);
    uint32_t other = h.add(HandleKind::System, object);
    EXPECT_EQ(h.ownerOf(remote), device);
    EXPECT_EQ(h.handlesOf(HandleKind::Device, iface), std::vector<uint32_t>{device});
    auto removed = h.remove(iface);
    EXPECT_EQ(removed.size(), 3u);
    EXPECT_TRUE(h.isLive(system));
    EXPECT_TRUE(h.isLive(other));
    for (uint32_t gone : {iface, device, remote})
        EXPECT_FALSE(h.isLive(gone));
    // A handle cannot be owned by a handle that is gone.
    EXPECT_EQ(h.add(HandleKind::Device, object, device), 0u);
    h.remove(system);
    h.remove(other);
}
