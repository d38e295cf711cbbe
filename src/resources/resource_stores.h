// Resource identifiers of the data stores and FTP.
#pragma once
