// Resource identifiers of the mainwindow subsystem.
#pragma once
