#pragma once

#include <QMetaType>

#include <vmime/vmime.hpp>

// A handle to a message on the server. It travels by queued signals from the
// connection thread to the store, which reads the message through it.
Q_DECLARE_METATYPE(vmime::shared_ptr<vmime::net::message>)
